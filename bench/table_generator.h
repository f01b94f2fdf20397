// Writes a realistic set of string-table files for the benchmarks: one file
// per locale the converter knows (every primary language and every regional
// variant), 24 keys each, with texts of plausible length in each language's
// own script, stored as a mix of UTF-16LE and UTF-8 the way installations
// ship them.
#ifndef UTIL_STRINGLOADER_BENCH_TABLE_GENERATOR_H
#define UTIL_STRINGLOADER_BENCH_TABLE_GENERATOR_H

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct TableSetStats {
    std::size_t files = 0;
    std::size_t utf16LeFiles = 0;
    std::size_t utf8BomFiles = 0;
    std::size_t utf8Files = 0;
    std::size_t keysPerFile = 0;
    std::size_t totalBytes = 0;
    std::size_t smallestFile = 0;
    std::size_t largestFile = 0;
    std::size_t textChars = 0;        // characters of all values, counted as code points
    std::vector<std::string> scripts; // one line per script: "Cyrillic: 11 files"
};

// Every locale name the converter can produce ("af", ..., "zh_tw"), found by
// asking it for the locale of each 16-bit language ID.
std::vector<std::wstring> KnownLocales();

// Writes <directory>/<locale>.cfg for every known locale. With `utf8Only`
// every file is UTF-8 without a byte-order mark; otherwise the encoding
// varies by file (UTF-16LE with BOM, UTF-8 with and without BOM).
TableSetStats WriteStringTables(const std::string& directory, bool utf8Only);

} // namespace bench

#endif // UTIL_STRINGLOADER_BENCH_TABLE_GENERATOR_H
