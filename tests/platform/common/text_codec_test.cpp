// The text codec beyond what the profile reader's golden files show: the
// bounds of UTF-8 validity, encoding back to UTF-8, and file names whose bytes
// are not UTF-8 surviving the trip to wide text and back.
#include <gtest/gtest.h>

#include <string>

#include "platform/common/text_codec.h"

namespace {

using namespace basekit::detail;

TEST(TextCodecTest, Utf8BoundsAndFileNames) {
    for (const char* valid :
         {"plain", "\xC2\x80\xDF\xBF", "\xE0\xA0\x80\xEF\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    }
    // Truncated, overlong, surrogate, above U+10FFFF, never a lead byte, stray continuation.
    for (const char* invalid : {"\xC3", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xF5\x80\x80\x80", "\xFF", "ok\x80", "\xE4\xB8"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    }
    EXPECT_EQ(EncodeUtf8(L"a\u00e9\u4e2d\U0001F600"), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(EncodeUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(DecodeUtf8("a\xFF\xC3\xA9"), L"a\uFFFD\u00e9");
    // A name that is no UTF-8 keeps its bytes; backslashes become slashes.
    const std::string name = "d\xE9j\xC3\xA0-\xF0\x9F\x98\x80";
    EXPECT_EQ(FileNameToWide(name), L"d" + std::wstring(1, wchar_t(0xDCE9)) + L"j\u00e0-\U0001F600");
    EXPECT_EQ(WidePathToNative((L"a\\" + FileNameToWide(name)).c_str()), "a/" + name);
}

} // namespace
