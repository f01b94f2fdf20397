// WideString formatting and operators, and the two path operations.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "basekit.h"

namespace {

using basekit::WideString;

TEST(WideStringTest, FormatTakesWideStringsOnEveryPlatform) {
    EXPECT_EQ(WideString().Format(L"%s, LANDID: %d", L"C:\\\u4e2d.cfg", -2052).str(), L"C:\\\u4e2d.cfg, LANDID: -2052");
    EXPECT_EQ(WideString().Format(L"%hs%.2s%lld%S%ls", "n", L"abc", -9000000000LL, L"S", L"l").str(),
              L"nab-9000000000Sl");
    EXPECT_EQ(WideString().Format(L"[%5d|%-4s|%04x|%X|%c%lc]", 42, L"ab", 0x1a, 0xBEEFu, L'\u263a', L'z').str(),
              L"[   42|ab  |001a|BEEF|\u263az]");
    // Unknown conversions and a dangling '%' are kept and take no argument; a null string is "(null)".
    EXPECT_EQ(WideString().Format(L"%%%s%q%5k%d%", static_cast<const wchar_t*>(nullptr), 1).str(), L"%(null)%q%5k1%");
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

TEST(PathTest, JoinPathAndFileBaseName) {
    // A separator is added only where the directory lacks one: '/' for directories written with '/' alone.
    EXPECT_EQ(basekit::JoinPath(L"C:\\Velmora", L"EUQ\\res").str(), L"C:\\Velmora\\EUQ\\res");
    EXPECT_EQ(basekit::JoinPath(L"C:\\res\\", L"en.cfg").str(), L"C:\\res\\en.cfg");
    EXPECT_EQ(basekit::JoinPath(L"/opt/velmora", L"EUQ\\res").str(), L"/opt/velmora/EUQ\\res");
    EXPECT_EQ(basekit::JoinPath(L"/opt/res/", L"en.cfg").str(), L"/opt/res/en.cfg");
    EXPECT_EQ(basekit::JoinPath(L"", L"en.cfg").str(), L"\\en.cfg");
    const std::pair<const wchar_t*, const wchar_t*> bases[] = {
        {L"zh_tw.cfg", L"zh_tw"},  {L".cfg", L""},       {L"a.b.cfg", L"a.b"}, {L"noext", L"noext"},
        {L"dir.d\\fr.cfg", L"fr"}, {L"d/x.y/de", L"de"}, {L"", L""},
    };
    for (const auto& [name, expected] : bases) {
        EXPECT_EQ(basekit::FileBaseName(name).str(), expected) << name;
    }
}

} // namespace
