// Byte-encoding conversions for the Linux stand-ins and the trace output: one
// UTF-8 sequence reader that every UTF-8 path shares, Windows-1252, UTF-16 in
// either byte order, the byte-order-mark rule for whole files, and the
// conversions of file names. Plain loops: a string table is a few kilobytes.
#include "platform/common/text_codec.h"

#include <cstdio>
#include <cwchar>

namespace basekit::detail {

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;
constexpr char32_t kEscapeBase = 0xDC00; // surrogate escape: byte b -> U+DC00 + b (b >= 0x80)

// The length of the well-formed UTF-8 sequence at `p`, of which `available`
// bytes remain (its code point in *cp), or 0 when it is malformed: truncated,
// overlong, a surrogate or above U+10FFFF. Inline, since every character
// outside ASCII comes through here.
inline std::size_t NextUtf8(const unsigned char* p, std::size_t available, char32_t* cp) {
    const unsigned char lead = p[0];
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (available < length) {
        return 0;
    }
    char32_t value = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0u) != 0x80u) {
            return 0;
        }
        value = (value << 6) | (p[k] & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (IsHighSurrogate(value) || IsLowSurrogate(value))) {
        return 0;
    }
    *cp = value;
    return length;
}

// Writes one code point at `at` and returns the units written: two (a pair)
// for one above U+FFFF where wchar_t is 16-bit, else one.
std::size_t PutWide(wchar_t* at, char32_t cp) {
    std::size_t units = 0;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        ForEachUtf16Unit(cp, [&](char16_t unit) { at[units++] = static_cast<wchar_t>(unit); });
        return units;
    }
    *at = static_cast<wchar_t>(cp);
    return 1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    ForEachUtf8Byte(cp, [&out](char byte) { out += byte; });
}

// UTF-8 to wide text. A malformed sequence becomes U+FFFD for its first byte,
// or `escape` + that byte when `escape` is set, or, when `strict`, stops the
// decoding with false. The text never has more characters than the bytes
// (four bytes make at most two UTF-16 units), so it is written into place and
// cut to size at the end.
bool Utf8ToWide(std::string_view bytes, bool strict, std::wstring& out, char32_t escape = 0) {
    out.resize(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    wchar_t* at = &out[0];
    while (p < end) {
        if (*p < 0x80) { // ASCII: keys, markup and much of the text
            *at++ = static_cast<wchar_t>(*p++);
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = NextUtf8(p, static_cast<std::size_t>(end - p), &cp);
        if (length == 0 && strict) {
            return false;
        }
        at += PutWide(at, length == 0 ? (escape != 0 ? escape + *p : kReplacementChar) : cp);
        p += length == 0 ? 1 : length;
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::wstring decoded;
    return Utf8ToWide(bytes, true, decoded);
}

std::wstring DecodeCp1252(std::string_view bytes) {
    // 0x80..0x9F; the undefined bytes map to themselves, as Windows does.
    static constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::wstring out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += static_cast<wchar_t>(b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : b);
    }
    return out;
}

std::wstring DecodeUtf8(std::string_view bytes) {
    std::wstring out;
    Utf8ToWide(bytes, false, out);
    return out;
}

namespace {

// The byte order is a template argument so that the loop tests it once, not
// per unit: a third of the instructions of decoding a UTF-16 string table.
template <bool BigEndian> std::wstring DecodeUtf16Units(std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto unitAt = [b](std::size_t k) -> char32_t {
        return BigEndian ? static_cast<char32_t>(b[2 * k] << 8 | b[2 * k + 1])
                         : static_cast<char32_t>(b[2 * k + 1] << 8 | b[2 * k]);
    };
    const std::size_t units = bytes.size() / 2; // an odd trailing byte is dropped
    std::wstring out(units, L'\0');
    wchar_t* at = &out[0];
    for (std::size_t k = 0; k < units; ++k) {
        const char32_t unit = unitAt(k);
        // Where wchar_t holds code points, a pair becomes one; a lone surrogate stays.
        if (sizeof(wchar_t) == 4 && IsHighSurrogate(unit) && k + 1 < units && IsLowSurrogate(unitAt(k + 1))) {
            *at++ = static_cast<wchar_t>(JoinSurrogates(unit, unitAt(++k)));
        } else {
            *at++ = static_cast<wchar_t>(unit);
        }
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    return out;
}

} // namespace

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    return bigEndian ? DecodeUtf16Units<true>(bytes) : DecodeUtf16Units<false>(bytes);
}

std::wstring DecodeUnmarkedText(std::string_view bytes) {
    std::wstring text;
    return Utf8ToWide(bytes, true, text) ? text : DecodeCp1252(bytes); // one pass decodes and validates
}

std::wstring DecodeTextFile(std::string_view bytes, TextEncoding* detected) {
    TextEncoding encoding = TextEncoding::Utf8;
    std::wstring text;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        encoding = TextEncoding::Utf16Le;
        text = DecodeUtf16(bytes.substr(2), false);
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        encoding = TextEncoding::Utf16Be;
        text = DecodeUtf16(bytes.substr(2), true);
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding = TextEncoding::Utf8Bom;
        text = DecodeUtf8(bytes.substr(3));
    } else if (!Utf8ToWide(bytes, true, text)) { // one pass decodes and validates
        encoding = TextEncoding::Cp1252;
        text = DecodeCp1252(bytes);
    }
    if (detected != nullptr) {
        *detected = encoding;
    }
    return text;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        AppendUtf8(out, NextCodePoint(text, i));
    }
    return out;
}

std::string EncodeUtf8Line(std::wstring_view text) {
    // What a terminal acts on, or what ends or reorders a line.
    const auto mustEscape = [](char32_t cp) {
        return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
               (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || IsHighSurrogate(cp) ||
               IsLowSurrogate(cp);
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp == U'\\') {
            out += "\\\\";
        } else if (cp == U'\t') {
            out += "\\t";
        } else if (mustEscape(cp)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, cp < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(cp));
            out += escape;
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out;
}

std::wstring FileNameToWide(std::string_view bytes) {
    std::wstring out;
    Utf8ToWide(bytes, false, out, kEscapeBase);
    return out;
}

std::string WidePathToNative(const wchar_t* path) {
    std::string out;
    const std::wstring_view text = path != nullptr ? path : L"";
    out.reserve(text.size()); // an ASCII path, the usual one, grows no further
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp == U'\\') {
            out += '/';
        } else if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            out += static_cast<char>(cp - kEscapeBase);
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out;
}

} // namespace basekit::detail
