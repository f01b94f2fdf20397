// Tests of the language queries of CUtilStringLoader: GetLanguages,
// MatchMostAppropriateLangID, GetStringLangID and GetStringLangIDEx (with the
// ";"-list tokenizer behind it). The store is filled through LoaderAccess.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/loader_access.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;

// The languages of en, en_us, zh, zh_tw and zh_cn, added out of order; IDs
// that differ above bit 15 (as signed ints 0xffff0004 sorts first).
const std::vector<int> kFive = {0x0804, 9, 0x0404, 4, 0x0409};
const std::vector<int> kSorted = {4, 9, 0x0404, 0x0409, 0x0804};
const int kHigh = 0x10004;
const int kNegative = static_cast<int>(0xffff0004u);

LoaderAccess Loaded(const std::vector<int>& languages) {
    LoaderAccess loader;
    for (const int id : languages) {
        loader.AddLanguage(id);
    }
    return loader;
}

TEST(LanguageQueriesTest, GetLanguagesRoomRules) {
    const LoaderAccess five = Loaded(kFive);
    std::vector<int> untouched(5, -1);
    EXPECT_EQ(five.GetLanguages(&untouched, nullptr), 87u);
    int count = -7;
    EXPECT_EQ(five.GetLanguages(nullptr, &count), 0u);
    EXPECT_EQ(count, 5);
    struct Case {
        std::vector<int> store;
        int room;
        std::vector<int> before;
        std::uint32_t result;
        int count;
        std::vector<int> after;
    };
    const std::vector<int> none(5, -1);
    const Case cases[] = {
        {kFive, 5, none, 0, 5, kSorted},
        {kFive, 8, std::vector<int>(8, -1), 0, 8, {4, 9, 0x0404, 0x0409, 0x0804, -1, -1, -1}},
        {kFive, 4, none, 234, 5, none},
        {kFive, -1, none, 234, 5, none},
        {kFive, 5, {-1, -1}, 0, 5, kSorted}, // room offered, vector shorter: it grows
        {{kHigh, 4, kNegative}, 3, {0, 0, 0}, 0, 3, {kNegative, 4, kHigh}},
    };
    for (const Case& c : cases) {
        std::vector<int> vector = c.before;
        count = c.room;
        EXPECT_EQ(Loaded(c.store).GetLanguages(&vector, &count), c.result) << c.room;
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(vector, c.after);
    }
}

TEST(LanguageQueriesTest, MatchMostAppropriateTakesExactElseNeutralOfThePrimaryLanguage) {
    const std::vector<int> siblings = {0x0404, 0x0804};
    const std::vector<int> high = {kNegative, 4, kHigh};
    const struct {
        const std::vector<int>& store;
        int request;
        int expected;
    } cases[] = {{kFive, 0x0404, 0x0404}, {kFive, 0x0c04, 4},    {kFive, 0x0809, 9},    {kFive, 0x10c04, 4},
                 {kFive, 0x0407, 0},      {siblings, 0x0c04, 0}, {high, 0x0c04, kHigh}, {{0x10404}, 0x0c04, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Loaded(c.store).MatchMostAppropriateLangID(c.request), c.expected) << std::hex << c.request;
    }
    EXPECT_EQ(LoaderAccess().MatchMostAppropriateLangID(9), 0);
}

TEST(LanguageQueriesTest, TextQueriesCompareWholeTextsOrListItems) {
    LoaderAccess loader = Loaded(kFive);
    testsupport::TraceCapture capture;
    EXPECT_EQ(loader.GetStringLangIDEx(14, L"Spam"), 9); // a fresh object's default
    const int none = 0x0c0a; // an unloaded default, so no match cannot pass for one in table 9
    loader.OverrideDefaultLangID(none);
    loader.AddText(9, 14, L"Spam").AddText(0x0409, 14, L"Spam").AddText(0x0404, 13, L" Spam");
    loader.AddText(0x0804, 21, L"Junk; Spam ;Bulk Mail\r\n").AddText(0x0404, 16, L"\tInbox\r\n");
    loader.AddText(4, 22, L";;Spam;;").AddText(0x0804, 22, L"Spam").AddText(0x0409, 15, L"");
    const struct {
        int stringID;
        const wchar_t* text;
        int plain; // GetStringLangID
        int ex;    // GetStringLangIDEx
    } cases[] = {
        {14, L"Spam", 9, 9},         {14, L"spam", none, none},   {14, L"Spa", none, none},
        {14, L"Spam ", none, none},  {13, L"Spam", none, 0x0404}, {13, L" Spam", 0x0404, none},
        {21, L"Junk", none, 0x0804}, {21, L"Spam", none, 0x0804}, {21, L"Bulk Mail", none, 0x0804},
        {21, L"Bulk", none, none},   {22, L"Spam", 0x0804, 4},    {16, L"Inbox", none, 0x0404},
        {15, L"", 0x0409, none},     {99, L"Spam", none, none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loader.GetStringLangID(c.stringID, c.text), c.plain) << c.stringID << " " << c.text;
        EXPECT_EQ(loader.GetStringLangIDEx(c.stringID, c.text), c.ex) << c.stringID << " " << c.text;
    }
    EXPECT_EQ(loader.GetStringLangID(14, nullptr), none);
    EXPECT_EQ(loader.GetStringLangIDEx(14, nullptr), none);
    EXPECT_TRUE(capture.records().empty());
}

} // namespace
