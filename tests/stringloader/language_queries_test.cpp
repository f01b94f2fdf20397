// Tests of the language queries of CUtilStringLoader: GetLanguages,
// MatchMostAppropriateLangID, GetStringLangID and GetStringLangIDEx. The store
// is filled directly through LoaderAccess; the ";"-list tokenizer behind
// GetStringLangIDEx is exercised through that member.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/loader_access.h"
#include "support/trace_capture.h"

namespace {

constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorMoreData = 234;

// The languages of en, en_us, zh, zh_tw and zh_cn, added out of order.
const std::vector<int> kFive = {0x0804, 9, 0x0404, 4, 0x0409};
const std::vector<int> kFiveSorted = {4, 9, 0x0404, 0x0409, 0x0804};
// IDs that differ only above bit 15; as signed ints 0xffff0004 sorts first.
const int kHigh = 0x10004;
const int kNegative = static_cast<int>(0xffff0004u);

// Every test checks at the end that no query wrote a trace record.
class QueryTest : public ::testing::Test {
protected:
    void Load(const std::vector<int>& languages) {
        for (const int id : languages) {
            loader.AddLanguage(id);
        }
    }
    void TearDown() override { EXPECT_TRUE(capture.records().empty()); }

    testsupport::TraceCapture capture;
    testsupport::LoaderAccess loader;
};

using GetLanguagesTest = QueryTest;

TEST_F(GetLanguagesTest, NullArguments) {
    Load(kFive);
    std::vector<int> vector(5, -1);
    EXPECT_EQ(loader.GetLanguages(&vector, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(loader.GetLanguages(nullptr, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(vector, std::vector<int>(5, -1));

    int count = -7;
    EXPECT_EQ(loader.GetLanguages(nullptr, &count), 0u);
    EXPECT_EQ(count, 5);

    testsupport::LoaderAccess empty;
    count = 3;
    EXPECT_EQ(empty.GetLanguages(nullptr, &count), 0u);
    EXPECT_EQ(count, 0);
}

TEST_F(GetLanguagesTest, RoomRules) {
    const std::vector<int> none;
    const std::vector<int> signedOrder = {kHigh, 4, kNegative};
    struct Case {
        const char* name;
        const std::vector<int>& store;
        int room;
        std::vector<int> before;
        std::uint32_t result;
        int count;
        std::vector<int> after;
    };
    const Case cases[] = {
        {"exact room", kFive, 5, std::vector<int>(5, -1), 0, 5, kFiveSorted},
        {"spare room keeps the tail", kFive, 8, std::vector<int>(8, -1), 0, 8, {4, 9, 1028, 1033, 2052, -1, -1, -1}},
        {"room 3", kFive, 3, std::vector<int>(5, -1), kErrorMoreData, 5, std::vector<int>(5, -1)},
        {"room -1", kFive, -1, std::vector<int>(5, -1), kErrorMoreData, 5, std::vector<int>(5, -1)},
        {"room 0", kFive, 0, {}, kErrorMoreData, 5, {}},
        // Enough room offered but a shorter vector: it grows to the answer.
        {"short vector", kFive, 5, {-1, -1}, 0, 5, kFiveSorted},
        {"empty vector", kFive, 9, {}, 0, 9, kFiveSorted},
        {"signed order", signedOrder, 3, std::vector<int>(3, 0), 0, 3, {kNegative, 4, kHigh}},
        {"empty store, room 0", none, 0, {}, 0, 0, {}},
        {"empty store, room 3", none, 3, std::vector<int>(3, -1), 0, 3, std::vector<int>(3, -1)},
        {"empty store, room -1", none, -1, {-1}, kErrorMoreData, 0, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::LoaderAccess queried;
        for (const int id : c.store) {
            queried.AddLanguage(id);
        }
        std::vector<int> vector = c.before;
        int count = c.room;
        EXPECT_EQ(queried.GetLanguages(&vector, &count), c.result);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(vector, c.after);
    }
}

using MatchMostAppropriateTest = QueryTest;

TEST_F(MatchMostAppropriateTest, ExactElseNeutralOfThePrimaryLanguage) {
    const std::vector<int> siblings = {0x0404, 0x0804};
    const std::vector<int> high = {kNegative, 4, kHigh};
    const std::vector<int> highOnly = {kHigh, 0x10404};
    const std::vector<int> highSubOnly = {0x10404};
    struct Case {
        const std::vector<int>& store;
        int request;
        int expected;
    };
    const Case cases[] = {
        {kFive, 0x0404, 0x0404},
        {kFive, 9, 9},
        {kFive, 0x0409, 0x0409},
        {kFive, 0x0c04, 4},
        {kFive, 0x0809, 9},
        {kFive, 0x10c04, 4}, // bits above 15 of the request play no part
        {kFive, 0x0407, 0},  // no German table, and no fallback to English
        {kFive, 0x000c, 0},
        {kFive, 0, 0},
        {kFive, -1, 0},
        // A sibling sub-language never stands in.
        {siblings, 4, 0},
        {siblings, 0x0c04, 0},
        {siblings, 0x0804, 0x0804},
        // Stored IDs above bit 15 are neutral when bits 10 to 15 are clear; of
        // several, the last in ascending signed order wins.
        {high, 0x0c04, kHigh},
        {high, kNegative, kNegative},
        {highOnly, 4, kHigh},
        {highOnly, 0x0404, kHigh},
        {highSubOnly, 0x0c04, 0}, // 0x10404 has sub-language 1
        {highOnly, 0x10404, 0x10404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "request 0x" << c.request);
        testsupport::LoaderAccess queried;
        for (const int id : c.store) {
            queried.AddLanguage(id);
        }
        EXPECT_EQ(queried.MatchMostAppropriateLangID(c.request), c.expected);
    }
}

// The text queries run against one store; the default language is set to an
// unloaded ID so that "no match" cannot pass for a match in table 9.
class TextQueryTest : public QueryTest {
protected:
    static constexpr int kNoMatch = 0x0c0a;
    void SetUp() override {
        Load(kFive);
        loader.OverrideDefaultLangID(kNoMatch);
        loader.AddText(9, 14, L"Spam").AddText(0x0409, 14, L"Spam").AddText(0x0804, 14, L"Junk");
        loader.AddText(0x0404, 14, L"\u5783\u573e");
        loader.AddText(0x0404, 13, L" Spam");
        loader.AddText(0x0804, 21, L"Junk; Spam ;Bulk Mail\r\n");
        loader.AddText(4, 22, L";;Spam;;").AddText(0x0804, 22, L"Spam");
        loader.AddText(0x0409, 15, L"").AddText(4, 15, L";").AddText(0x0804, 15, L" ; ;\t\r\n");
        loader.AddText(0x0404, 16, L"\tInbox\r\n");
        loader.AddText(0x0804, 17, L"Bulk \t Mail ; x");
        loader.AddText(9, 18, L"Spam Filter;Junk Mail");
    }
};

TEST_F(TextQueryTest, WholeTextsAndListItems) {
    struct Case {
        int stringID;
        const wchar_t* text;
        int plain; // GetStringLangID
        int ex;    // GetStringLangIDEx
    };
    const Case cases[] = {
        // Held by 9 and 0x0409 alike: the smallest ID answers.
        {14, L"Spam", 9, 9},
        {14, L"Junk", 0x0804, 0x0804},
        {14, L"\u5783\u573e", 0x0404, 0x0404},
        {14, L"spam", kNoMatch, kNoMatch},
        {14, L"Spam ", kNoMatch, kNoMatch},
        {14, L"Spa", kNoMatch, kNoMatch},
        // Blanks at the ends count for whole texts and are trimmed from items.
        {13, L"Spam", kNoMatch, 0x0404},
        {13, L" Spam", 0x0404, kNoMatch},
        // A three-item list with blanks around the middle item and a line end.
        {21, L"Junk", kNoMatch, 0x0804},
        {21, L"Spam", kNoMatch, 0x0804},
        {21, L"Bulk Mail", kNoMatch, 0x0804},
        {21, L"Bulk  Mail", kNoMatch, kNoMatch},
        {21, L"Bulk", kNoMatch, kNoMatch},
        {21, L"Mail", kNoMatch, kNoMatch},
        {21, L"spam", kNoMatch, kNoMatch},
        {21, L"Spam ", kNoMatch, kNoMatch},
        {21, L"Junk;Spam", kNoMatch, kNoMatch},
        {21, L"Junk; Spam ;Bulk Mail\r\n", 0x0804, kNoMatch},
        {21, L"", kNoMatch, kNoMatch},
        // Empty stretches between delimiters are no items; table 4 comes first.
        {22, L"Spam", 0x0804, 4},
        {22, L";;Spam;;", 4, kNoMatch},
        {22, L"", kNoMatch, kNoMatch},
        // An empty stored text, a lone delimiter and delimiters with blanks hold no item.
        {15, L"", 0x0409, kNoMatch},
        {15, L";", 4, kNoMatch},
        {15, L" ", kNoMatch, kNoMatch},
        {15, L"\t", kNoMatch, kNoMatch},
        // Tab, CR and LF are blanks; inner runs of blanks stay in the item.
        {16, L"Inbox", kNoMatch, 0x0404},
        {16, L"\tInbox\r\n", 0x0404, kNoMatch},
        {17, L"Bulk \t Mail", kNoMatch, 0x0804},
        {17, L"Bulk Mail", kNoMatch, kNoMatch},
        {17, L"x", kNoMatch, 0x0804},
        {18, L"Spam", kNoMatch, kNoMatch},
        {18, L"Spam Filter", kNoMatch, 9},
        {18, L"Junk Mail", kNoMatch, 9},
        {18, L"Filter", kNoMatch, kNoMatch},
        // A string ID no table holds.
        {99, L"Spam", kNoMatch, kNoMatch},
        {-14, L"Spam", kNoMatch, kNoMatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "string " << c.stringID << " text \"" << c.text << "\"");
        EXPECT_EQ(loader.GetStringLangID(c.stringID, c.text), c.plain);
        EXPECT_EQ(loader.GetStringLangIDEx(c.stringID, c.text), c.ex);
    }
    EXPECT_EQ(loader.GetStringLangID(14, nullptr), kNoMatch);
    EXPECT_EQ(loader.GetStringLangIDEx(14, nullptr), kNoMatch);
}

TEST_F(QueryTest, NoMatchAnswersTheCurrentDefaultLanguage) {
    Load(kFive);
    loader.AddText(0x0404, 14, L"Spam");
    for (const int defaultID : {9, 0x0804, -3}) {
        SCOPED_TRACE(defaultID);
        if (defaultID != 9) {
            loader.OverrideDefaultLangID(defaultID); // the first round runs on the fresh object
        }
        EXPECT_EQ(loader.GetStringLangID(99, L"Spam"), defaultID);
        EXPECT_EQ(loader.GetStringLangIDEx(99, L"Spam"), defaultID);
        EXPECT_EQ(loader.GetStringLangID(14, nullptr), defaultID);
        EXPECT_EQ(loader.GetStringLangIDEx(14, nullptr), defaultID);
        EXPECT_EQ(loader.GetStringLangID(14, L"Spam"), 0x0404);
        EXPECT_EQ(loader.GetStringLangIDEx(14, L"Spam"), 0x0404);
    }
    testsupport::LoaderAccess empty;
    EXPECT_EQ(empty.GetStringLangID(0, L""), 9);
    EXPECT_EQ(empty.GetStringLangIDEx(0, L"Spam"), 9);
    EXPECT_EQ(empty.MatchMostAppropriateLangID(9), 0);
}

} // namespace
