// UTF-8 conversion, escaping, display widths and table layout for the
// stringtable tool. The tool prints UTF-8 whatever LANG says; only the width
// measure borrows a UTF-8 locale, for wcwidth(), the C library's maintained
// width table.
#include "terminal_text.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <type_traits>

namespace stringtable {

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

// Calls `visit(codePoint, bytes)` for each code point of `utf8` until it
// returns false; a byte that is not part of well-formed UTF-8 is visited as
// kBadByte + its value.
constexpr char32_t kBadByte = 0x110000;

template <typename Visit> void ForEachCodePoint(std::string_view utf8, Visit visit) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        std::size_t length = SequenceAt(utf8, i, &cp);
        if (length == 0) {
            cp = kBadByte + static_cast<unsigned char>(utf8[i]);
            length = 1;
        }
        if (!visit(cp, utf8.substr(i, length))) {
            return;
        }
        i += length;
    }
}

// The code points of wide text, surrogate pairs joined where wchar_t is
// UTF-16; a lone surrogate is passed on as itself.
template <typename Visit> void ForEachWide(std::wstring_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        visit(cp > 0x10FFFF ? kReplacement : cp);
    }
}

// Characters that can move the cursor, reorder what follows or end a line:
// C0, DEL, C1, the bidi marks, embeddings, overrides and isolates, the
// line and paragraph separators; and everything that is not a character.
bool IsUnsafe(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || (cp >= 0xD800 && cp <= 0xDFFF) ||
           cp >= kBadByte;
}

std::string Escape(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void AppendPrintable(std::string& out, char32_t cp) {
    if (!IsUnsafe(cp)) {
        AppendUtf8(out, cp);
    } else if (cp == '\t') {
        out += "\\t";
    } else if (cp >= kBadByte) {
        out += Escape("\\x%02x", static_cast<unsigned>(cp - kBadByte));
    } else {
        out += Escape(cp < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(cp));
    }
}

void AppendJson(std::string& out, char32_t cp) {
    const char* named = cp == '"'    ? "\\\""
                        : cp == '\\' ? "\\\\"
                        : cp == '\n' ? "\\n"
                        : cp == '\r' ? "\\r"
                        : cp == '\t' ? "\\t"
                                     : nullptr;
    if (named != nullptr) {
        out += named;
    } else if (!IsUnsafe(cp)) {
        AppendUtf8(out, cp);
    } else if (cp >= kBadByte) {
        out += Escape("\\\\x%02x", static_cast<unsigned>(cp - kBadByte));
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        out += Escape("\\\\u%04x", static_cast<unsigned>(cp)); // a JSON "\udc80" would not be UTF-8
    } else {
        out += Escape("\\u%04x", static_cast<unsigned>(cp));
    }
}

#ifndef _WIN32
bool g_useWcwidth = false;
#endif

std::size_t CodePointWidth(char32_t cp) {
#ifndef _WIN32
    if (g_useWcwidth) {
        const int width = ::wcwidth(static_cast<wchar_t>(cp));
        return width < 0 ? 1 : static_cast<std::size_t>(width);
    }
#endif
    (void)cp;
    return 1;
}

struct Piece {
    std::string_view bytes;
    std::size_t width;
};

std::vector<Piece> Pieces(std::string_view utf8) {
    std::vector<Piece> pieces;
    ForEachCodePoint(utf8, [&pieces](char32_t cp, std::string_view bytes) {
        pieces.push_back({bytes, CodePointWidth(cp)});
        return true;
    });
    return pieces;
}

// `utf8` cut in the middle to at most `columns` columns: "IDS_APPRO...LABEL".
std::string Abbreviate(std::string_view utf8, std::size_t columns) {
    if (DisplayWidth(utf8) <= columns) {
        return std::string(utf8);
    }
    const std::vector<Piece> pieces = Pieces(utf8);
    const std::size_t room = columns > 3 ? columns - 3 : 0;
    std::string head;
    std::size_t width = 0;
    std::size_t first = 0;
    for (; first < pieces.size() && width + pieces[first].width <= (room + 1) / 2; ++first) {
        head.append(pieces[first].bytes);
        width += pieces[first].width;
    }
    std::size_t last = pieces.size();
    for (; last > first && width + pieces[last - 1].width <= room; --last) {
        width += pieces[last - 1].width;
    }
    std::string tail;
    for (std::size_t i = last; i < pieces.size(); ++i) {
        tail.append(pieces[i].bytes);
    }
    return head + "..." + tail;
}

// `utf8` in lines of at most `columns` columns, broken after a blank where the
// line has one, else between two characters.
std::vector<std::string> Wrap(std::string_view utf8, std::size_t columns) {
    std::vector<std::string> lines(1);
    std::size_t width = 0;
    std::size_t blank = std::string::npos; // where the current line may break
    for (const Piece& piece : Pieces(utf8)) {
        if (width + piece.width > columns && !lines.back().empty()) {
            std::string rest;
            if (blank != std::string::npos) {
                rest = lines.back().substr(blank);
                lines.back().erase(blank);
            }
            lines.push_back(rest);
            width = DisplayWidth(rest);
            blank = std::string::npos;
        }
        lines.back().append(piece.bytes);
        width += piece.width;
        if (piece.bytes == " ") {
            blank = lines.back().size();
        }
    }
    return lines;
}

constexpr std::size_t kMinTextColumns = 30;
constexpr std::size_t kMinShrunkColumns = 16;

} // namespace

std::size_t FirstInvalidUtf8(std::string_view bytes) {
    std::size_t offset = 0;
    std::size_t bad = std::string::npos;
    ForEachCodePoint(bytes, [&](char32_t cp, std::string_view piece) {
        if (cp >= kBadByte) {
            bad = offset;
            return false;
        }
        offset += piece.size();
        return true;
    });
    return bad;
}

std::u32string CodePointsOfUtf8(std::string_view utf8) {
    std::u32string out;
    ForEachCodePoint(utf8, [&out](char32_t cp, std::string_view) {
        if (cp < kBadByte) {
            out += cp;
        }
        return true;
    });
    return out;
}

std::wstring WideFromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    ForEachCodePoint(bytes, [&out](char32_t cp, std::string_view) {
        if (cp >= kBadByte) {
            out += static_cast<wchar_t>(kEscapeBase + (cp - kBadByte));
        } else {
            AppendWide(out, cp);
        }
        return true;
    });
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachWide(text, [&out](char32_t cp) {
        if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            out += static_cast<char>(cp - kEscapeBase);
        } else {
            AppendUtf8(out, cp >= 0xD800 && cp <= 0xDFFF ? kReplacement : cp);
        }
    });
    return out;
}

void InitDisplayWidths() {
#ifndef _WIN32
    // Only LC_CTYPE, and only for wcwidth(): output stays UTF-8 bytes.
    for (const char* locale : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (std::setlocale(LC_CTYPE, locale) != nullptr) {
            g_useWcwidth = true;
            return;
        }
    }
#endif
}

std::string Printable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    ForEachCodePoint(bytes, [&out](char32_t cp, std::string_view) {
        AppendPrintable(out, cp);
        return true;
    });
    return out;
}

std::string Printable(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachWide(text, [&out](char32_t cp) { AppendPrintable(out, cp); });
    return out;
}

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    ForEachCodePoint(bytes, [&out](char32_t cp, std::string_view) {
        AppendJson(out, cp);
        return true;
    });
    return out + "\"";
}

std::string JsonString(std::wstring_view text) {
    std::string out = "\"";
    ForEachWide(text, [&out](char32_t cp) { AppendJson(out, cp); });
    return out + "\"";
}

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    ForEachCodePoint(utf8, [&width](char32_t cp, std::string_view) {
        width += CodePointWidth(cp);
        return true;
    });
    return width;
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
    const std::size_t columns = m_rightAligned.size();
    std::vector<std::size_t> widths(columns, 0);
    for (const auto& row : m_rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    std::vector<bool> shown(columns, true);
    std::size_t textRoom = 0; // 0: the last column is printed whole
    if (maxWidth != 0 && columns > 0) {
        const auto leading = [&] {
            std::size_t sum = 0;
            for (std::size_t column = 0; column + 1 < columns; ++column) {
                sum += shown[column] ? widths[column] + 2 : 0;
            }
            return sum;
        };
        const std::size_t want = std::min(widths.back(), std::max(kMinTextColumns, maxWidth / 2));
        std::size_t room = maxWidth > leading() ? maxWidth - leading() : 0;
        if (room < want && m_shrinkable + 1 < columns) {
            const std::size_t lack = want + leading() - maxWidth;
            if (widths[m_shrinkable] >= kMinShrunkColumns + lack) {
                widths[m_shrinkable] -= lack;
            } else {
                shown[m_shrinkable] = false;
            }
            room = maxWidth > leading() ? maxWidth - leading() : 0;
        }
        if (room < widths.back()) {
            textRoom = std::max<std::size_t>(room, 10);
        }
    }
    std::string out;
    for (const auto& row : m_rows) {
        std::vector<std::string> lines{std::string()};
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (!shown[column]) {
                continue;
            }
            const bool last = column + 1 == row.size();
            if (last && textRoom != 0) {
                const std::string indent(DisplayWidth(lines[0]), ' ');
                const std::vector<std::string> wrapped = Wrap(row[column], textRoom);
                lines[0] += wrapped[0];
                for (std::size_t i = 1; i < wrapped.size(); ++i) {
                    lines.push_back(indent + wrapped[i]);
                }
                break;
            }
            const std::string cell = column == m_shrinkable ? Abbreviate(row[column], widths[column]) : row[column];
            const std::size_t padding = widths[column] - std::min(widths[column], DisplayWidth(cell));
            if (m_rightAligned[column]) {
                lines[0].append(padding, ' ').append(cell);
            } else {
                lines[0].append(cell);
                if (!last) {
                    lines[0].append(padding, ' ');
                }
            }
            if (!last) {
                lines[0].append("  ");
            }
        }
        for (std::string& line : lines) {
            while (!line.empty() && line.back() == ' ') {
                line.pop_back();
            }
            out += line;
            out += '\n';
        }
    }
    return out;
}

} // namespace stringtable
