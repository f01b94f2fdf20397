// Byte-level facts about string-table files for "check" and "convert". The
// tool links only the library's public interface, which has no decoder, so the
// few rules the reader applies to bytes (byte-order marks, UTF-8 or else
// Windows-1252) are restated here, plainly, for explanations and conversion.
#include "table_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "terminal_text.h"

namespace stringtable {

namespace {

namespace fs = std::filesystem;

// The loader reads no table file larger than this (a table is 24 values of at
// most 1,023 characters), and neither does the tool.
constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{16} << 20;
#ifdef _WIN32
// Windows' own reader reads a file whole whatever its size; the Linux one refuses it.
constexpr const char* kTooLarge =
    "is over 16 MiB: not read, since the library refuses it on Linux and Windows' reader would read it whole";
#else
constexpr const char* kTooLarge = "is over 16 MiB: refused, as the library refuses it";
#endif

// Windows-1252 bytes 0x80..0x9F; the five bytes it leaves undefined map to
// the C1 controls of the same value, as the reader maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::u32string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::u32string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        const char32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
        if (cp >= 0xD800 && cp <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        text += cp; // a lone surrogate stays
    }
    return text;
}

// Text that Windows' profile reader would take for UTF-16 without a mark:
// at least a quarter of the bytes at even or at odd offsets are NUL.
bool LooksLikeUtf16WithoutMark(std::string_view bytes) {
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        zeros[i % 2] += bytes[i] == '\0' ? 1 : 0;
    }
    return bytes.size() >= 4 && std::max(zeros[0], zeros[1]) * 4 >= bytes.size() / 2;
}

// Whether some line, blanks trimmed, is the header of the section "Strings"
// (ASCII case ignored), as the reader matches section names: its blanks are
// tab to CR, ^Z and space, a header ends at the line's last ']', and a NUL
// ends the name.
bool HasStringsSection(const std::u32string& text) {
    constexpr std::u32string_view kBlanks = U"\t\n\v\f\r\x1a ";
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(U"\r\n", start);
        end = end == std::u32string::npos ? text.size() : end;
        std::u32string line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(kBlanks);
        const std::size_t close = line.rfind(U']');
        if (first != std::u32string::npos && line[first] == U'[' && close != std::u32string::npos && close > first) {
            std::u32string name = line.substr(first + 1, close - first - 1);
            name.erase(0, name.find_first_not_of(kBlanks));
            name.erase(name.find_last_not_of(kBlanks) + 1);
            name.erase(std::min(name.find(U'\0'), name.size()));
            for (char32_t& c : name) {
                c = (c >= U'A' && c <= U'Z') ? c + 32 : c;
            }
            if (name == U"strings") {
                return true;
            }
        }
        start = end + 1;
    }
    return false;
}

} // namespace

const char* EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::kUtf16Le:
        return "UTF-16LE";
    case Encoding::kUtf16Be:
        return "UTF-16BE";
    case Encoding::kUtf8Bom:
        return "UTF-8 with BOM";
    case Encoding::kUtf8:
        return "UTF-8";
    case Encoding::kWindows1252:
        break;
    }
    return "Windows-1252";
}

DecodedText DecodeTable(std::string_view bytes) {
    if (StartsWith(bytes, "\xFF\xFE")) {
        return {Encoding::kUtf16Le, DecodeUtf16(bytes.substr(2), false)};
    }
    if (StartsWith(bytes, "\xFE\xFF")) {
        return {Encoding::kUtf16Be, DecodeUtf16(bytes.substr(2), true)};
    }
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        return {Encoding::kUtf8Bom, CodePointsOfUtf8(bytes.substr(3))};
    }
    const std::size_t bad = FirstInvalidUtf8(bytes);
    if (bad == std::string::npos) {
        return {Encoding::kUtf8, CodePointsOfUtf8(bytes)};
    }
    DecodedText decoded{Encoding::kWindows1252, {}, bad};
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        decoded.text += (byte >= 0x80 && byte <= 0x9F) ? kWindows1252High[byte - 0x80] : byte;
    }
    return decoded;
}

std::optional<std::string> EncodeTable(const std::u32string& text, Encoding encoding, std::size_t* badIndex) {
    std::string out;
    if (encoding == Encoding::kUtf16Le) {
        out = "\xFF\xFE";
        const auto unit = [&out](char32_t value) {
            out += static_cast<char>(value & 0xFF);
            out += static_cast<char>(value >> 8);
        };
        for (const char32_t cp : text) {
            if (cp >= 0x10000) {
                unit(0xD800 + ((cp - 0x10000) >> 10));
                unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                unit(cp);
            }
        }
        return out;
    }
    out = encoding == Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
            *badIndex = i;
            return std::nullopt;
        }
        AppendUtf8(out, text[i]);
    }
    return out;
}

std::string RefusalOf(const fs::path& path) {
    std::error_code error;
    const fs::file_status link = fs::symlink_status(path, error);
    const fs::file_status target = fs::status(path, error);
    if (error == std::errc::too_many_symbolic_link_levels) {
        return "is a symbolic link loop";
    }
    if (fs::is_symlink(link) && !fs::exists(target)) {
        return "is a symbolic link to a file that does not exist";
    }
    if (fs::is_directory(target)) {
        return "is a directory, not a file";
    }
    if (fs::exists(target) && !fs::is_regular_file(target)) {
        return "is not a regular file";
    }
    const std::uintmax_t size = fs::file_size(path, error);
    return !error && size > kMaxTableBytes ? kTooLarge : "";
}

std::optional<std::string> ReadTableBytes(const fs::path& path, std::string* problem) {
    *problem = RefusalOf(path);
    if (!problem->empty()) {
        return std::nullopt;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *problem = std::string("cannot be opened: ") + (errno != 0 ? std::strerror(errno) : "error");
        return std::nullopt;
    }
    // Read in steps up to one byte past the limit, so a file that grows (or a
    // device the file system calls a regular file) costs at most that much.
    std::string bytes;
    char chunk[65536];
    while (bytes.size() <= kMaxTableBytes && file.read(chunk, sizeof chunk).gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        *problem = std::string("cannot be read: ") + (errno != 0 ? std::strerror(errno) : "error");
        return std::nullopt;
    }
    if (bytes.size() > kMaxTableBytes) {
        *problem = kTooLarge;
        return std::nullopt;
    }
    return bytes;
}

FileFacts InspectTableFile(const fs::path& path) {
    FileFacts facts;
    const std::optional<std::string> bytes = ReadTableBytes(path, &facts.problem);
    if (!bytes) {
        return facts;
    }
    const DecodedText decoded = DecodeTable(*bytes);
    facts.encoding = EncodingName(decoded.encoding);
    if ((decoded.encoding == Encoding::kUtf8 || decoded.encoding == Encoding::kWindows1252) &&
        LooksLikeUtf16WithoutMark(*bytes)) {
        facts.encoding = "UTF-16 without byte-order mark";
        facts.problem = "is UTF-16 without a byte-order mark, which the reader takes for 8-bit text; "
                        "save it with one (stringtable convert)";
        return facts;
    }
    if (!HasStringsSection(decoded.text)) {
        facts.problem = "has no [Strings] section";
    }
#ifdef _WIN32
    // Windows' profile reader takes only UTF-16LE with a mark as Unicode;
    // everything else is read in the ANSI code page.
    const bool ascii = std::all_of(bytes->begin(), bytes->end(), [](char c) { return (c & 0x80) == 0; });
    if (decoded.encoding == Encoding::kUtf8Bom || decoded.encoding == Encoding::kUtf16Be) {
        // The mark, read as ANSI characters, glues itself to the header line.
        facts.warning = facts.encoding + " file: Windows does not recognise the byte-order mark, which then hides "
                                         "the [Strings] header, so every key gives its placeholder there (Wine reads "
                                         "the texts); save it as UTF-16LE (stringtable convert)";
    } else if (decoded.encoding != Encoding::kUtf16Le && !ascii) {
        facts.warning = facts.encoding + " file: Windows reads it in the ANSI code page, so its non-ASCII texts are "
                                         "garbled; save it as UTF-16LE (stringtable convert)";
    }
#else
    if (decoded.encoding == Encoding::kWindows1252) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>((*bytes)[decoded.firstBadByte]));
        facts.warning = "not valid UTF-8 (byte 0x" + std::string(hex) + " at offset " +
                        std::to_string(decoded.firstBadByte) +
                        "), so the whole file was read as Windows-1252: its non-ASCII texts are likely garbled";
    }
#endif
    return facts;
}

} // namespace stringtable
