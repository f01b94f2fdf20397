// WideString formatting and operators, the length limit of formatting, the two path operations, and the text
// codec beyond what the profile reader's golden files show: the bounds of UTF-8
// validity and of Windows-1252, encoding back to UTF-8, and file names whose bytes are not UTF-8
// surviving the trip to wide text and back.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <iterator>
#include <string>
#include <utility>

#include "basekit.h"
#include "platform/common/text_codec.h"

namespace {

using basekit::WideString;

TEST(WideStringTest, FormatTakesWideStringsOnEveryPlatform) {
    EXPECT_EQ(WideString().Format(L"%s, LANDID: %d", L"C:\\\u4e2d.cfg", -2052).str(), L"C:\\\u4e2d.cfg, LANDID: -2052");
    EXPECT_EQ(WideString().Format(L"%hs%.2s%lld%S%ls%u", "nar", L"abc", -9000000000LL, L"S", L"l", 4000000000u).str(),
              L"narab-9000000000Sl4000000000");
    EXPECT_EQ(
        WideString()
            .Format(L"[%5d|%-4s|%04x|%X|%c%lc|%#x|%i|%+d]", 42, L"ab", 0x1a, 0xBEEFu, L'\u263a', L'z', 255u, -7, 3)
            .str(),
        L"[   42|ab  |001a|BEEF|\u263az|0xff|-7|+3]");
    // Unknown conversions and a dangling '%' are kept and take no argument; a null string is "(null)".
    EXPECT_EQ(WideString().Format(L"%%%s%q%5k%d%", static_cast<const wchar_t*>(nullptr), 1).str(), L"%(null)%q%5k1%");
    EXPECT_EQ(WideString(L"old").Format(nullptr).str(), L""); // a null format is an empty one
    // Longer than any first guess at the buffer; an argument may be the string formatted into.
    WideString text(std::wstring(5000, L'x').c_str());
    EXPECT_EQ(text.Format(L"<%s>", text.c_str()).str(), L"<" + std::wstring(5000, L'x') + L">");
    // Operators leave their operands alone and take null as empty.
    const WideString prefix(L"Cannot load string:");
    EXPECT_EQ((prefix + L"IDS_SPAM_FOLDER_NAME").str(), L"Cannot load string:IDS_SPAM_FOLDER_NAME");
    EXPECT_EQ(prefix.str(), L"Cannot load string:");
    WideString null(static_cast<const wchar_t*>(nullptr));
    null += L"a";
    null += nullptr;
    EXPECT_EQ(null.str(), L"a");
}

// Each case with the text it leaves: all of them together take well under a second.
TEST(WideStringTest, FormatOverTheLengthLimitEmptiesTheContentAtOnce) {
    constexpr std::size_t kLimit = std::size_t{1} << 20;
    const std::wstring longest(kLimit, L'x'), tooLong(kLimit + 1, L'x');
    const auto start = std::chrono::steady_clock::now();
    const std::pair<WideString, std::wstring> cases[] = {
        {WideString(L"old").Format(L"%999999999d", 1), L""},            // a width
        {WideString().Format(L"%s%*d", L"a", 999999999, 1), L""},       // one from an argument
        {WideString().Format(L"%-*d", -999999999, 1), L""},             // a negative one
        {WideString().Format(L"%*d", INT_MIN, 1), L""},                 // the most negative one
        {WideString().Format(L"%.999999999x", 1u), L""},                // a precision
        {WideString().Format(L"%lld%.*lld", 1LL, 999999999, 1LL), L""}, // one from an argument
        {WideString().Format(L"%600000d%600000d", 1, 2), L""},          // widths that fit alone only
        {WideString().Format(L"%1048575d%%x", 7), L""},                 // a width and the text around it
        {WideString().Format(L"%s", tooLong.c_str()), L""},             // a string argument over the limit
        {WideString().Format(L"%s", longest.c_str()), longest},         // one at the limit
        {WideString().Format(L"%1048575d%%", 7), std::wstring(kLimit - 2, L' ') + L"7%"}, // a width at the limit
        // A string's precision only cuts; a negative precision from an argument is none, a negative width left-aligns.
        {WideString().Format(L"%.999999999s|%.*s", L"ab", -1, L"cd"), L"ab|cd"},
        {WideString().Format(L"%.*d|%*d|%-*c|", -999999999, 42, 4, 5, -2, L'z'), L"42|   5|z |"},
    };
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_TRUE(cases[i].first.str() == cases[i].second) << "row " << i << ": " << cases[i].first.length();
    }
}

TEST(PathTest, JoinPathAndFileBaseName) {
    // A separator is added only where the directory lacks one: '/' for directories written with '/' alone.
    EXPECT_EQ(basekit::JoinPath(L"C:\\Velmora", L"EUQ\\res").str(), L"C:\\Velmora\\EUQ\\res");
    EXPECT_EQ(basekit::JoinPath(L"C:\\res\\", L"en.cfg").str(), L"C:\\res\\en.cfg");
    EXPECT_EQ(basekit::JoinPath(L"/opt/velmora", L"EUQ\\res").str(), L"/opt/velmora/EUQ\\res");
    EXPECT_EQ(basekit::JoinPath(L"/opt/res/", L"en.cfg").str(), L"/opt/res/en.cfg");
    EXPECT_EQ(basekit::JoinPath(L"C:\\a/b", L"en.cfg").str(), L"C:\\a/b\\en.cfg"); // both kinds: a backslash
    EXPECT_EQ(basekit::JoinPath(L"", L"en.cfg").str(), L"\\en.cfg");
    EXPECT_EQ(basekit::JoinPath(L"res/fr", nullptr).str(), L"res/fr/"); // a relative directory; no name
    const std::pair<const wchar_t*, const wchar_t*> bases[] = {
        {L"zh_tw.cfg", L"zh_tw"},  {L".cfg", L""},       {L"a.b.cfg", L"a.b"}, {L"noext", L"noext"},
        {L"dir.d\\fr.cfg", L"fr"}, {L"d/x.y/de", L"de"}, {L"", L""},
    };
    for (const auto& [name, expected] : bases) {
        EXPECT_EQ(basekit::FileBaseName(name).str(), expected) << name;
    }
    EXPECT_EQ(basekit::FileBaseName(nullptr).str(), L"");
}

TEST(TextCodecTest, Utf8BoundsAndFileNames) {
    for (const char* valid :
         {"plain", "\xC2\x80\xDF\xBF", "\xE0\xA0\x80\xEF\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(basekit::detail::IsValidUtf8(valid)) << valid;
    }
    // Truncated, overlong, surrogates (both halves), above U+10FFFF, never a lead byte, stray continuation.
    for (const char* invalid :
         {"\xC3", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\xFF", "ok\x80", "\xE4\xB8", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF"}) {
        EXPECT_FALSE(basekit::detail::IsValidUtf8(invalid)) << invalid;
    }
    EXPECT_EQ(basekit::detail::EncodeUtf8(L"a\u00e9\u07ff\u0800\u4e2d\U0001F600"),
              "a\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE4\xB8\xAD\xF0\x9F\x98\x80");
    // Lone surrogates, and above U+10FFFF where wchar_t can hold it, become U+FFFD.
    const auto beyond = static_cast<wchar_t>(sizeof(wchar_t) == 4 ? 0x110000 : 0xDC00);
    EXPECT_EQ(basekit::detail::EncodeUtf8(std::wstring{beyond, wchar_t(0xD800)}), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(basekit::detail::DecodeUtf8("a\xFF\xC3\xA9"), L"a\uFFFD\u00e9");
    // Windows-1252: the ends of its remapped range and a case pair in it; a mark is all three bytes (EF BB 80: U+FEC0).
    EXPECT_EQ(basekit::detail::DecodeCp1252("\x7F\x80\x8A\x9A\x9F\xA0"), L"\x7F\u20AC\u0160\u0161\u0178\u00A0");
    EXPECT_EQ(basekit::detail::DecodeTextFile("\xEF\xBB\x80x"), L"\uFEC0x");
    // A name that is no UTF-8 keeps its bytes (U+DC80..U+DCFF only); backslashes become slashes.
    const std::string name = "d\xE9j\xC3\xA0-\xF0\x9F\x98\x80";
    EXPECT_EQ(basekit::detail::FileNameToWide(name), L"d" + std::wstring(1, wchar_t(0xDCE9)) + L"j\u00e0-\U0001F600");
    EXPECT_EQ(
        basekit::detail::WidePathToNative((L"a\\" + basekit::detail::FileNameToWide(name) + wchar_t(0xDC7F)).c_str()),
        "a/" + name + "\xEF\xBF\xBD");
}

} // namespace
