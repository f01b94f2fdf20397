// Text plumbing of the stringtable tool: UTF-8 in and out without the C
// locale, terminal display widths (East Asian wide characters take two
// columns), column-aligned tables and JSON string escaping.
#ifndef STRINGTABLE_TERMINAL_TEXT_H
#define STRINGTABLE_TERMINAL_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace stringtable {

// UTF-8 bytes to wide text. A byte that is not part of well-formed UTF-8
// becomes U+DC80..U+DCFF, the same escape the library uses for file names, so
// a path given on the command line reaches the file system unchanged.
std::wstring WideFromUtf8(std::string_view bytes);

// Wide text to UTF-8. Escaped bytes (U+DC80..U+DCFF) are written back as the
// bytes they stand for; other lone surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

// Columns that a terminal gives `text`: 2 for East Asian wide and fullwidth
// characters, 0 for combining marks, 1 for everything else.
std::size_t DisplayWidth(std::string_view utf8);

// `utf8` cut to at most `columns` display columns; a cut text ends in "...".
std::string FitToWidth(std::string_view utf8, std::size_t columns);

// Control characters made visible ("\t", "\x1b"), so that a stored text can
// never break a table row or move the cursor.
std::string Printable(std::string_view utf8);

// A JSON string literal, quotes included.
std::string JsonString(std::string_view utf8);

// Rows of cells printed with every column but the last padded to its widest
// cell, two blanks between columns. An empty row prints as a blank line. When
// `maxWidth` is nonzero the last column is cut so that a row fits.
class Table {
public:
    explicit Table(std::vector<std::string> header);
    void AddRow(std::vector<std::string> cells);
    void AddSeparator() { m_rows.emplace_back(); }
    // Right-align column `column` (numbers).
    void AlignRight(std::size_t column);
    std::string Render(std::size_t maxWidth = 0) const;

private:
    std::vector<std::vector<std::string>> m_rows; // row 0 is the header
    std::vector<bool> m_rightAligned;
};

} // namespace stringtable

#endif // STRINGTABLE_TERMINAL_TEXT_H
