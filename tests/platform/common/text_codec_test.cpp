// Byte decoding used by the Linux stand-ins: UTF-8 validation, the Windows-1252
// fallback, UTF-16 with either byte order, and file names that are not UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/common/text_codec.h"

namespace {

using namespace basekit::detail;

TEST(TextCodecTest, Utf8Validation) {
    struct Row {
        const char* bytes;
        bool valid;
    };
    const Row rows[] = {
        {"plain", true},
        {"\xE5\x9E\x83\xE5\x9C\xBE", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xC3", false},
        {"\xC0\xAF", false},
        {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false},
        {"\xE0\x80\x80", false},
        {"\xFF", false},
        {"ok\x80", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsValidUtf8(row.bytes), row.valid) << row.bytes;
    }
}

// UTF-16LE bytes with a byte-order mark; lone surrogates pass through.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(TextCodecTest, DetectsEncodingFromTheFirstBytes) {
    struct Row {
        std::string bytes;
        TextEncoding encoding;
        std::wstring text;
    };
    const Row rows[] = {
        {std::string("\xFF\xFE"
                     "a\0\x3D\xD8\x00\xDE",
                     8),
         TextEncoding::Utf16Le, L"a\U0001F600"},
        {std::string("\xFE\xFF\0a\x4E\x2D", 6), TextEncoding::Utf16Be, L"a\u4e2d"},
        {"\xEF\xBB\xBF\xC3\xA9", TextEncoding::Utf8Bom, L"\u00e9"},
        {"\xC3\xA9", TextEncoding::Utf8, L"\u00e9"},
        {"caf\xE9 \x80\x81\x8D\x8F\x90\x9D\x9F", TextEncoding::Cp1252,
         L"caf\u00e9 \u20ac\u0081\u008d\u008f\u0090\u009d\u0178"},
        {std::string("\xFF\xFE"
                     "a\0b",
                     5),
         TextEncoding::Utf16Le, L"a"}, // odd trailing byte dropped
        {std::string("\xFF\xFE\x00\xD8"
                     "a\0",
                     6),
         TextEncoding::Utf16Le, std::wstring(1, wchar_t(0xD800)) + L"a"},
        {"", TextEncoding::Utf8, L""},
        // Longer than the eight-unit blocks the decoders take at once.
        {Utf16Le(u"0123456789\U0001F600abcdefgh\xDC00xy"), TextEncoding::Utf16Le,
         L"0123456789\U0001F600abcdefgh" + std::wstring(1, wchar_t(0xDC00)) + L"xy"},
        {"twelve chars\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80nine more", TextEncoding::Utf8,
         L"twelve chars\u0416\u4e2d\U0001F600nine more"},
        {"0123456789abcdef\xC3\xA9\xE9", TextEncoding::Cp1252, L"0123456789abcdef\u00c3\u00a9\u00e9"},
    };
    for (const Row& row : rows) {
        TextEncoding detected{};
        EXPECT_EQ(DecodeTextFile(row.bytes, &detected), row.text);
        EXPECT_EQ(detected, row.encoding);
    }
}

TEST(TextCodecTest, FileNamesRoundTripEvenWhenNotUtf8) {
    for (const std::string name : {"zh_tw.cfg", "fr\xE9.cfg", "\xE4\xB8\xAD.cfg", "bad\xC3"}) {
        EXPECT_EQ(WidePathToNative(FileNameToWide(name).c_str()), name);
    }
    EXPECT_EQ(WidePathToNative(L"C:\\dir\\en.cfg"), "C:/dir/en.cfg");
    EXPECT_EQ(EncodeUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
