// UTF-8 conversion, display widths and table layout for the stringtable tool.
// Nothing here consults the C locale: the tool prints UTF-8 whatever LANG says,
// and widths come from the Unicode ranges below rather than from wcwidth().
#include "terminal_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace stringtable {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// Length of the well-formed UTF-8 sequence at `i` (its code point in *cp), or 0.
std::size_t SequenceAt(std::string_view bytes, std::size_t i, char32_t* cp) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *cp = value;
    return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

struct Range {
    char32_t first;
    char32_t last;
};

// East Asian Wide (W) and Fullwidth (F) blocks, the emoji blocks that
// terminals draw two columns wide included.
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x2E80, 0x303E},
    {0x3041, 0x33FF}, {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks and zero-width format characters.
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF},
    {0x302A, 0x302F}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

template <std::size_t N> bool InRanges(const Range (&ranges)[N], char32_t cp) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [cp](const Range& range) { return cp >= range.first && cp <= range.last; });
}

std::size_t CodePointWidth(char32_t cp) {
    if (InRanges(kZero, cp)) {
        return 0;
    }
    return InRanges(kWide, cp) ? 2 : 1;
}

// Calls `visit(codePoint, bytes)` for each code point of `utf8`; a malformed
// byte is visited as U+FFFD standing for that one byte.
template <typename Visit> void ForEachCodePoint(std::string_view utf8, Visit visit) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        std::size_t length = SequenceAt(utf8, i, &cp);
        if (length == 0) {
            cp = kReplacement;
            length = 1;
        }
        if (!visit(cp, utf8.substr(i, length))) {
            return;
        }
        i += length;
    }
}

} // namespace

std::wstring WideFromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t length = SequenceAt(bytes, i, &cp);
        if (length == 0) {
            out += static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        AppendWide(out, cp);
        i += length;
    }
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                    ++i;
                    continue;
                }
            }
        }
        if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            out += static_cast<char>(cp - kEscapeBase);
        } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out;
}

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    ForEachCodePoint(utf8, [&width](char32_t cp, std::string_view) {
        width += CodePointWidth(cp);
        return true;
    });
    return width;
}

std::string FitToWidth(std::string_view utf8, std::size_t columns) {
    if (DisplayWidth(utf8) <= columns) {
        return std::string(utf8);
    }
    constexpr std::string_view kEllipsis = "...";
    if (columns < kEllipsis.size()) {
        return std::string(kEllipsis.substr(0, columns));
    }
    const std::size_t room = columns - kEllipsis.size();
    std::string out;
    std::size_t width = 0;
    ForEachCodePoint(utf8, [&](char32_t cp, std::string_view bytes) {
        const std::size_t next = width + CodePointWidth(cp);
        if (next > room) {
            return false;
        }
        width = next;
        out.append(bytes);
        return true;
    });
    return out.append(kEllipsis);
}

std::string Printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

Table::Table(std::vector<std::string> header) : m_rightAligned(header.size(), false) {
    m_rows.push_back(std::move(header));
}

void Table::AddRow(std::vector<std::string> cells) {
    if (cells.size() > m_rightAligned.size()) {
        m_rightAligned.resize(cells.size(), false);
    }
    m_rows.push_back(std::move(cells));
}

void Table::AlignRight(std::size_t column) {
    if (column >= m_rightAligned.size()) {
        m_rightAligned.resize(column + 1, false);
    }
    m_rightAligned[column] = true;
}

std::string Table::Render(std::size_t maxWidth) const {
    std::vector<std::size_t> widths(m_rightAligned.size(), 0);
    for (const auto& row : m_rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    std::string out;
    for (const auto& row : m_rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            const bool last = column + 1 == row.size();
            std::string cell = row[column];
            if (last && maxWidth != 0) {
                const std::size_t used = DisplayWidth(line);
                cell = FitToWidth(cell, maxWidth > used ? maxWidth - used : 0);
            }
            const std::size_t padding = widths[column] - std::min(widths[column], DisplayWidth(cell));
            if (m_rightAligned[column]) {
                line.append(padding, ' ').append(cell);
            } else {
                line.append(cell);
                if (!last) {
                    line.append(padding, ' ');
                }
            }
            if (!last) {
                line.append("  ");
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line;
        out += '\n';
    }
    return out;
}

} // namespace stringtable
