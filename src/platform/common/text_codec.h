// Conversions between byte encodings and wide text, shared by the Linux
// stand-ins (profile reader, registry file, file names) and the trace output.
// Internal to the library.
#ifndef UTIL_STRINGLOADER_TEXT_CODEC_H
#define UTIL_STRINGLOADER_TEXT_CODEC_H

#include <cstddef>
#include <string>
#include <string_view>

namespace basekit::detail {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252, byte for byte; the five undefined bytes map to U+0081, U+008D,
// U+008F, U+0090 and U+009D as the Windows code page tables do.
std::wstring DecodeCp1252(std::string_view bytes);

// Strict UTF-8 decoding of text already known to be valid.
std::wstring DecodeUtf8(std::string_view bytes);

// UTF-16 code units (little- or big-endian byte pairs) to wide text. Surrogate
// pairs are joined; a lone surrogate is kept as its own code unit; an odd
// trailing byte is dropped.
std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian);

// Text without a byte-order mark: UTF-8 when the whole of it is valid UTF-8,
// else Windows-1252 (what the readers take as the ANSI code page).
std::wstring DecodeUnmarkedText(std::string_view bytes);

enum class TextEncoding { Utf16Le, Utf16Be, Utf8Bom, Utf8, Cp1252 };

// Decodes a text file by its first bytes: FF FE is UTF-16LE, FE FF UTF-16BE,
// EF BB BF UTF-8 (the byte-order marks are dropped). Without a mark, as
// DecodeUnmarkedText.
std::wstring DecodeTextFile(std::string_view bytes, TextEncoding* detected = nullptr);

// Wide text to UTF-8. Code points that cannot be encoded (lone surrogates other
// than the escaped bytes below, values above U+10FFFF) become U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

// File names: Linux names are bytes, usually UTF-8. A byte that is not part of
// valid UTF-8 becomes U+DC80..U+DCFF ("surrogate escape") so that every name
// that a directory listing returns converts back to the same bytes.
std::wstring FileNameToWide(std::string_view bytes);
// The reverse of FileNameToWide, and '\' becomes '/': the Win32 paths the
// loader builds accept both separators.
std::string WidePathToNative(const wchar_t* path);

// UTF-16 surrogate pairs. Every place that joins or splits a pair uses these.
constexpr bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr char32_t JoinSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// Calls put(unit) once for a code point below U+10000, twice (high, low) above.
template <typename Put> void ForEachUtf16Unit(char32_t cp, Put put) {
    if (cp < 0x10000) {
        put(static_cast<char16_t>(cp));
    } else {
        put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
}

// The code point at text[i], joining a surrogate pair where wchar_t is 16-bit
// (a lone surrogate comes back as it is); advances i past it.
inline char32_t NextCodePoint(std::wstring_view text, std::size_t& i) {
    const auto cp = static_cast<char32_t>(text[i++]);
    if (sizeof(wchar_t) == 2 && IsHighSurrogate(cp) && i < text.size() &&
        IsLowSurrogate(static_cast<char32_t>(text[i]))) {
        return JoinSurrogates(cp, static_cast<char32_t>(text[i++]));
    }
    return cp;
}

// Calls put(byte) for each UTF-8 byte of `cp`. A surrogate or a value above
// U+10FFFF, which UTF-8 cannot carry, is written as U+FFFD.
template <typename Put> void ForEachUtf8Byte(char32_t cp, Put put) {
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (cp < 0x80) {
        put(byte(cp));
    } else if (cp < 0x800) {
        put(byte(0xC0 | (cp >> 6)));
        put(byte(0x80 | (cp & 0x3F)));
    } else if (cp <= 0xFFFF || cp > 0x10FFFF) {
        if (cp > 0xFFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
            cp = 0xFFFD;
        }
        put(byte(0xE0 | (cp >> 12)));
        put(byte(0x80 | ((cp >> 6) & 0x3F)));
        put(byte(0x80 | (cp & 0x3F)));
    } else {
        put(byte(0xF0 | (cp >> 18)));
        put(byte(0x80 | ((cp >> 12) & 0x3F)));
        put(byte(0x80 | ((cp >> 6) & 0x3F)));
        put(byte(0x80 | (cp & 0x3F)));
    }
}

// ASCII-only upper-case folding, the rule of the Win32 name comparisons we mimic.
inline wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c;
}

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_TEXT_CODEC_H
