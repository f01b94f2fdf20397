// Byte-encoding conversions for the Linux stand-ins and the trace output.
// Divisions: UTF-8 validation and decoding, Windows-1252, UTF-16, whole-file
// detection, encoding back to UTF-8, and file-name conversion.
#include "platform/common/text_codec.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace basekit::detail {

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;
constexpr char32_t kEscapeBase = 0xDC00; // surrogate escape: byte b -> U+DC00 + b (b >= 0x80)

// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i, char32_t* codePoint) {
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byteAt(i + k);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
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

// Appends one code point to wide text; where wchar_t is 16-bit, code points
// above U+FFFF become a surrogate pair.
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

// The length of the run of ASCII bytes that starts at bytes[i], tested eight
// bytes at a time: string tables are mostly ASCII (keys, Latin texts, line ends).
std::size_t AsciiRunLength(std::string_view bytes, std::size_t i) {
    const std::size_t begin = i;
    while (bytes.size() - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if ((word & 0x8080808080808080ull) != 0) {
            break;
        }
        i += 8;
    }
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) {
        ++i;
    }
    return i - begin;
}

bool HasPrefix(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// Writes the wide text of `bytes` from `next` on (room for bytes.size()
// characters) and returns the end. A malformed sequence becomes U+FFFD for its
// first byte, or, when `kStrict`, ends the decoding with nullptr. ASCII runs go
// eight bytes at a time and the two- and three-byte forms of the common scripts
// are decoded inline; the rest goes through Utf8SequenceLength.
template <bool kStrict> wchar_t* DecodeUtf8Into(std::string_view bytes, wchar_t* next) {
    const auto* const first = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const last = first + bytes.size();
    const unsigned char* p = first;
    while (p < last) {
        while (last - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ull) != 0) {
                break;
            }
            for (int k = 0; k < 8; ++k) {
                next[k] = static_cast<wchar_t>(p[k]);
            }
            p += 8;
            next += 8;
        }
        if (p == last) {
            break;
        }
        const unsigned lead = *p;
        if (lead < 0x80) {
            *next++ = static_cast<wchar_t>(lead);
            ++p;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF && last - p >= 2 && (p[1] & 0xC0u) == 0x80u) {
            *next++ = static_cast<wchar_t>(((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu));
            p += 2;
            continue;
        }
        if (lead >= 0xE0 && lead <= 0xEF && last - p >= 3 && (p[1] & 0xC0u) == 0x80u && (p[2] & 0xC0u) == 0x80u) {
            const unsigned cp = ((lead & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
                *next++ = static_cast<wchar_t>(cp);
                p += 3;
                continue;
            }
        }
        char32_t cp = 0;
        std::size_t length = Utf8SequenceLength(bytes, static_cast<std::size_t>(p - first), &cp);
        if (length == 0) {
            if constexpr (kStrict) {
                return nullptr;
            }
            cp = kReplacementChar;
            length = 1;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                *next++ = static_cast<wchar_t>(0xD800 + (cp >> 10));
                cp = 0xDC00 + (cp & 0x3FF);
            }
        }
        *next++ = static_cast<wchar_t>(cp);
        p += length;
    }
    return next;
}

template <bool kBigEndian> std::wstring DecodeUtf16Units(std::string_view bytes) {
    const std::size_t units = bytes.size() / 2; // an odd trailing byte is dropped
    const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::wstring out(units, L'\0');
    wchar_t* const text = out.data();
    // Every unit is copied first, in a loop the compiler vectorizes; surrogates,
    // which few files hold, are paired afterwards.
    unsigned surrogates = 0; // not bool: a bool reduction keeps the loop from vectorizing
    for (std::size_t k = 0; k < units; ++k) {
        const unsigned b0 = data[2 * k];
        const unsigned b1 = data[2 * k + 1];
        const unsigned unit = kBigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0;
        text[k] = static_cast<wchar_t>(unit);
        surrogates |= static_cast<unsigned>((unit & 0xF800u) == 0xD800u);
    }
    if constexpr (sizeof(wchar_t) == 4) {
        // Where wchar_t holds code points, a pair becomes one; a lone surrogate stays.
        if (surrogates != 0) {
            std::size_t used = 0;
            for (std::size_t k = 0; k < units; ++k) {
                const auto unit = static_cast<char32_t>(text[k]);
                const auto low = k + 1 < units ? static_cast<char32_t>(text[k + 1]) : 0;
                if (unit >= 0xD800 && unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                    text[used++] = static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    ++k;
                } else {
                    text[used++] = static_cast<wchar_t>(unit);
                }
            }
            out.resize(used);
        }
    }
    return out;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Fast path for ASCII runs, which most string tables are made of.
        i += AsciiRunLength(bytes, i);
        if (i == bytes.size()) {
            break;
        }
        char32_t cp = 0;
        const std::size_t length = Utf8SequenceLength(bytes, i, &cp);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
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
        out += (b >= 0x80 && b <= 0x9F) ? static_cast<wchar_t>(kHigh[b - 0x80]) : static_cast<wchar_t>(b);
    }
    return out;
}

std::wstring DecodeUtf8(std::string_view bytes) {
    // Never more characters than bytes (a four-byte sequence makes at most two
    // UTF-16 units), so the text is written in place and cut to size at the end.
    std::wstring out(bytes.size(), L'\0');
    out.resize(static_cast<std::size_t>(DecodeUtf8Into<false>(bytes, out.data()) - out.data()));
    return out;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    return bigEndian ? DecodeUtf16Units<true>(bytes) : DecodeUtf16Units<false>(bytes);
}

std::wstring DecodeTextFile(std::string_view bytes, TextEncoding* detected) {
    TextEncoding encoding = TextEncoding::Cp1252;
    std::wstring text;
    if (HasPrefix(bytes, "\xFF\xFE")) {
        encoding = TextEncoding::Utf16Le;
        text = DecodeUtf16(bytes.substr(2), false);
    } else if (HasPrefix(bytes, "\xFE\xFF")) {
        encoding = TextEncoding::Utf16Be;
        text = DecodeUtf16(bytes.substr(2), true);
    } else if (HasPrefix(bytes, "\xEF\xBB\xBF")) {
        encoding = TextEncoding::Utf8Bom;
        text = DecodeUtf8(bytes.substr(3));
    } else {
        // One pass decodes and validates; the first malformed sequence makes it Windows-1252.
        text.assign(bytes.size(), L'\0');
        if (const wchar_t* const end = DecodeUtf8Into<true>(bytes, text.data())) {
            encoding = TextEncoding::Utf8;
            text.resize(static_cast<std::size_t>(end - text.data()));
        } else {
            text = DecodeCp1252(bytes);
        }
    }
    if (detected != nullptr) {
        *detected = encoding;
    }
    return text;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            cp = kReplacementChar;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::wstring FileNameToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t length = Utf8SequenceLength(bytes, i, &cp);
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

std::string WidePathToNative(const wchar_t* path) {
    std::string out;
    if (path == nullptr) {
        return out;
    }
    out.reserve(std::wcslen(path));
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        const auto cp = static_cast<char32_t>(*p);
        if (cp < 0x80 && cp != U'\\') {
            out += static_cast<char>(cp); // paths are mostly ASCII; the profile reader converts one per call
        } else if (cp == U'\\') {
            out += '/';
        } else if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            out += static_cast<char>(cp - kEscapeBase);
        } else {
            std::wstring_view one(p, 1);
            if constexpr (sizeof(wchar_t) == 2) {
                if (cp >= 0xD800 && cp <= 0xDBFF && p[1] != L'\0') {
                    one = std::wstring_view(p, 2);
                    ++p;
                }
            }
            out += EncodeUtf8(one);
        }
    }
    return out;
}

} // namespace basekit::detail
