// Byte decoding used by the Linux stand-ins: UTF-8 validation, the Windows-1252
// fallback and UTF-16 with either byte order.
#include <gtest/gtest.h>

#include <string>

#include "platform/common/text_codec.h"

namespace {

using namespace basekit::detail;
using namespace std::string_literals;

TEST(TextCodecTest, ValidatesEncodesAndDetects) {
    for (const char* valid : {"plain", "\xE5\x9E\x83\xE5\x9C\xBE", "\xF0\x9F\x98\x80"}) {
        EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    }
    // Truncated, overlong, surrogate, above U+10FFFF, never a lead byte, stray continuation.
    for (const char* invalid :
         {"\xC3", "\xC0\xAF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "ok\x80"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    }
    EXPECT_EQ(EncodeUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    // Files are decoded by their first bytes.
    const auto check = [](const std::string& bytes, TextEncoding encoding, const std::wstring& text) {
        TextEncoding detected{};
        EXPECT_EQ(DecodeTextFile(bytes, &detected), text);
        EXPECT_EQ(detected, encoding);
    };
    check("\xFF\xFE\x00\xD8\x61\x00"s, TextEncoding::Utf16Le, std::wstring(1, wchar_t(0xD800)) + L"a");
    check("\xFE\xFF\x00\x61\x4E\x2D"s, TextEncoding::Utf16Be, L"a\u4e2d");
    check("\xEF\xBB\xBF\xC3\xA9", TextEncoding::Utf8Bom, L"\u00e9");
    check("\xC3\xA9", TextEncoding::Utf8, L"\u00e9");
    check("caf\xE9 \x80\x81\x8D\x8F\x90\x9D\x9F", TextEncoding::Cp1252,
          L"caf\u00e9 \u20ac\u0081\u008d\u008f\u0090\u009d\u0178");
    // Longer than the eight-unit blocks the decoders take at once; an odd last byte is dropped.
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"0123456789\U0001F600abcdefgh\xDC00xy")) {
        utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    check(utf16 + "z", TextEncoding::Utf16Le,
          L"0123456789\U0001F600abcdefgh" + std::wstring(1, wchar_t(0xDC00)) + L"xy");
    check("twelve chars\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80nine more", TextEncoding::Utf8,
          L"twelve chars\u0416\u4e2d\U0001F600nine more");
    check("0123456789abcdef\xC3\xA9\xE9", TextEncoding::Cp1252, L"0123456789abcdef\u00c3\u00a9\u00e9");
}

} // namespace
