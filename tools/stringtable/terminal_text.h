// Text plumbing of the stringtable tool: UTF-8 in and out without the C
// locale, escaping that keeps stored texts and file names from steering a
// terminal or breaking JSON, display widths, and column-aligned tables that fit
// a terminal by abbreviating a column and wrapping the last one.
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
// bytes they stand for; other lone surrogates become U+FFFD. Meant for paths:
// text that is printed goes through Printable or JsonString instead.
std::string Utf8FromWide(std::wstring_view text);

// The offset of the first byte of `bytes` that is not part of well-formed
// UTF-8, or npos; and the code points of UTF-8 text (such bytes dropped).
std::size_t FirstInvalidUtf8(std::string_view bytes);
std::u32string CodePointsOfUtf8(std::string_view utf8);
void AppendUtf8(std::string& out, char32_t codePoint);

// Chooses how display widths are measured: wcwidth() in a UTF-8 locale where
// the C library has one (glibc), else one column per character.
void InitDisplayWidths();

// Text that is safe to print: C0 controls and DEL become "\x1b" ("\t" for a
// tab), C1 controls, bidi controls and the line/paragraph separators "\u009b",
// "\u202e"; bytes that are not UTF-8 become "\xff" and lone surrogates
// "\udc80". The byte form is for names and arguments (a name byte that is not
// UTF-8 shows as itself); the wide form is for texts the library returns.
std::string Printable(std::string_view bytes);
std::string Printable(std::wstring_view text);

// A JSON string literal, quotes included, that is always valid UTF-8 JSON:
// controls and bidi controls as JSON escapes ("\u009b"); bytes that are not
// UTF-8 and lone surrogates as the same text Printable shows ("\\xff").
std::string JsonString(std::string_view bytes);
std::string JsonString(std::wstring_view text);

// Columns that a terminal gives `utf8`.
std::size_t DisplayWidth(std::string_view utf8);

// Rows of cells printed with every column but the last padded to its widest
// cell, two blanks between columns. An empty row prints as a blank line. When
// `maxWidth` is nonzero and the rows do not fit, the last column keeps at least
// 30 columns (or half the width) by abbreviating the column marked with
// MayShrink, or leaving it out when it would get too narrow; the last column's
// text then wraps onto continuation lines instead of being cut.
class Table {
public:
    explicit Table(std::vector<std::string> header);
    void AddRow(std::vector<std::string> cells);
    void AddSeparator() { m_rows.emplace_back(); }
    // Right-align column `column` (numbers).
    void AlignRight(std::size_t column);
    void MayShrink(std::size_t column) { m_shrinkable = column; }
    std::string Render(std::size_t maxWidth = 0) const;

private:
    std::vector<std::vector<std::string>> m_rows; // row 0 is the header
    std::vector<bool> m_rightAligned;
    std::size_t m_shrinkable = static_cast<std::size_t>(-1);
};

} // namespace stringtable

#endif // STRINGTABLE_TERMINAL_TEXT_H
