// Golden-file tables: one row per line, fields split at '|' (not at "\|") and
// trimmed of spaces; blank lines and lines starting with '#' are skipped.
#ifndef UTIL_STRINGLOADER_GOLDEN_TABLE_H
#define UTIL_STRINGLOADER_GOLDEN_TABLE_H

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Each row as its line (for messages) and its fields, escapes left in place;
// empty when the file cannot be read.
std::vector<std::pair<std::string, std::vector<std::string>>> ReadTable(const std::string& path);

// A field's text (UTF-8) with its escapes resolved: \s space, \t \r \n \0,
// \uXXXX and \UXXXXXXXX (one UTF-16 unit or one code point), c\*N for N copies
// of the character c; any other character after '\' stands for itself.
std::wstring Unescape(const std::string& field);

} // namespace testsupport

#endif // UTIL_STRINGLOADER_GOLDEN_TABLE_H
