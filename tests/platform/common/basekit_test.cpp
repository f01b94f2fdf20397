// WideString formatting and operators, and the two path operations.
#include <gtest/gtest.h>

#include <string>

#include "basekit.h"

namespace {

using basekit::WideString;

TEST(WideStringTest, FormatTakesWideStringsOnEveryPlatform) {
    struct Row {
        const char* name;
        WideString actual;
        const wchar_t* expected;
    };
    const wchar_t* nullText = nullptr;
    const Row rows[] = {
        {"wide %s and %d", WideString().Format(L"path: %s, LANDID: %d", L"C:\\x\\\u4e2d.cfg", 2052),
         L"path: C:\\x\\\u4e2d.cfg, LANDID: 2052"},
        {"negative int", WideString().Format(L"code: %d", -5), L"code: -5"},
        {"%ls and %hs", WideString().Format(L"%ls/%hs", L"wide", "narrow"), L"wide/narrow"},
        {"width and flags", WideString().Format(L"[%5d|%-4s|%04x|%X]", 42, L"ab", 0x1a, 0xBEEFu),
         L"[   42|ab  |001a|BEEF]"},
        {"precision on strings", WideString().Format(L"%.3s", L"abcdef"), L"abc"},
        {"percent and char", WideString().Format(L"100%% %c", L'\u263a'), L"100% \u263a"},
        {"null string", WideString().Format(L"%s", nullText), L"(null)"},
        {"unknown conversion kept", WideString().Format(L"%q %d", 1), L"%q 1"},
        {"dangling percent", WideString().Format(L"50%"), L"50%"},
        {"long long", WideString().Format(L"%lld", -9000000000LL), L"-9000000000"},
        {"pattern as the scan builds it", WideString().Format(L"%s\\*.cfg", L"/opt/res/"), L"/opt/res/\\*.cfg"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual.str(), row.expected) << row.name;
    }
}

TEST(WideStringTest, FormatMayUseItsOwnContentAsArgument) {
    WideString text(L"abc");
    text.Format(L"<%s>", text.c_str());
    EXPECT_EQ(text.str(), L"<abc>");
}

TEST(WideStringTest, OperatorsLeaveOperandsAlone) {
    const WideString prefix(L"Cannot load string:");
    const WideString placeholder = prefix + L"IDS_SPAM_FOLDER_NAME";
    EXPECT_EQ(prefix.str(), L"Cannot load string:");
    EXPECT_EQ(placeholder.str(), L"Cannot load string:IDS_SPAM_FOLDER_NAME");

    WideString text(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(text.empty());
    EXPECT_NE(text.c_str(), nullptr);
    text += L"a";
    text += nullptr;
    EXPECT_EQ(text.str(), L"a");
    text = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(text.empty());
    const wchar_t* asPointer = WideString(L"x");
    (void)asPointer;
}

TEST(PathTest, JoinPathAndFileBaseName) {
    struct JoinRow {
        const wchar_t* directory;
        const wchar_t* name;
        const wchar_t* expected;
    };
    const JoinRow joins[] = {
        {L"C:\\Program Files\\Velmora", L"EUQ\\res", L"C:\\Program Files\\Velmora\\EUQ\\res"},
        {L"C:\\res\\", L"en.cfg", L"C:\\res\\en.cfg"},
        {L"/opt/velmora", L"EUQ\\res", L"/opt/velmora/EUQ\\res"},
        {L"/opt/res/", L"en.cfg", L"/opt/res/en.cfg"},
        {L"", L"en.cfg", L"\\en.cfg"},
        {L"rel", L"en.cfg", L"rel\\en.cfg"},
        {L"C:/mixed\\dir", L"en.cfg", L"C:/mixed\\dir\\en.cfg"},
    };
    for (const JoinRow& row : joins) {
        EXPECT_EQ(basekit::JoinPath(row.directory, row.name).str(), row.expected) << row.directory;
    }

    struct BaseRow {
        const wchar_t* name;
        const wchar_t* expected;
    };
    const BaseRow bases[] = {
        {L"zh_tw.cfg", L"zh_tw"}, {L"en.cfg", L"en"},        {L".cfg", L""},       {L"a.b.cfg", L"a.b"},
        {L"noext", L"noext"},     {L"dir.d\\fr.cfg", L"fr"}, {L"d/x.y/de", L"de"}, {L"", L""},
    };
    for (const BaseRow& row : bases) {
        EXPECT_EQ(basekit::FileBaseName(row.name).str(), row.expected) << row.name;
    }
}

} // namespace
