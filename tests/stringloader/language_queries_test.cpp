// Tests of the language queries of CUtilStringLoader: GetLanguages,
// MatchMostAppropriateLangID, GetStringLangID and GetStringLangIDEx (with the
// ";"-list tokenizer behind it; rows in data/text_queries.txt). The store is
// filled through LoaderAccess.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden_table.h"
#include "support/loader_access.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;

const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";

// A list field of the data files: numbers in C notation, "five" for five languages.
std::vector<int> Ints(const std::string& field) {
    std::istringstream stream(field == "five" ? "0x0804 9 0x0404 4 0x0409" : field);
    std::vector<int> result;
    for (std::string number; stream >> number;) {
        result.push_back(static_cast<int>(std::stoll(number, nullptr, 0)));
    }
    return result;
}

LoaderAccess Loaded(const std::vector<int>& languages) {
    LoaderAccess loader;
    for (const int id : languages) {
        loader.AddLanguage(id);
    }
    return loader;
}

TEST(LanguageQueriesTest, GetLanguagesRoomRules) {
    const LoaderAccess five = Loaded(Ints("five"));
    std::vector<int> untouched(5, -1);
    EXPECT_EQ(five.GetLanguages(&untouched, nullptr), 87u);
    EXPECT_EQ(five.GetLanguages(nullptr, nullptr), 87u);
    int count = -7;
    EXPECT_EQ(five.GetLanguages(nullptr, &count), 0u);
    EXPECT_EQ(count, 5);
    const auto table = testsupport::ReadTable(kData + "get_languages.txt");
    ASSERT_EQ(table.size(), 6u);
    for (const auto& [line, row] : table) {
        std::vector<int> vector = Ints(row[2]);
        count = std::stoi(row[1]);
        EXPECT_EQ(Loaded(Ints(row[0])).GetLanguages(&vector, &count), std::stoul(row[3])) << line;
        EXPECT_EQ(count, std::stoi(row[4])) << line;
        EXPECT_EQ(vector, Ints(row[5])) << line;
    }
}

TEST(LanguageQueriesTest, MatchMostAppropriateTakesExactElseNeutralOfThePrimaryLanguage) {
    const auto table = testsupport::ReadTable(kData + "match_language.txt");
    ASSERT_EQ(table.size(), 9u);
    for (const auto& [line, row] : table) {
        EXPECT_EQ(Loaded(Ints(row[0])).MatchMostAppropriateLangID(std::stoi(row[1], nullptr, 0)), Ints(row[2])[0])
            << line;
    }
}

TEST(LanguageQueriesTest, TextQueriesCompareWholeTextsOrListItems) {
    LoaderAccess loader = Loaded(Ints("five"));
    testsupport::TraceCapture capture;
    EXPECT_EQ(loader.GetStringLangIDEx(14, L"Spam"), 9); // a fresh object's default
    // An unloaded default, so no match cannot pass for one in table 9, and wider
    // than 16 bits: the default is kept whole.
    const int none = 0x7f010c0a;
    loader.OverrideDefaultLangID(none);
    loader.AddText(9, 14, L"Spam").AddText(0x0409, 14, L"Spam").AddText(0x0404, 13, L" Spam");
    loader.AddText(0x0804, 21, L"Junk; Spam ;Bulk Mail\r\n").AddText(0x0404, 16, L"\tInbox\r\n");
    loader.AddText(4, 22, L";;Spam;;").AddText(0x0804, 22, L"Spam").AddText(0x0409, 15, L"");
    const auto table = testsupport::ReadTable(kData + "text_queries.txt");
    ASSERT_EQ(table.size(), 14u);
    const auto id = [none](const std::string& field) { return field == "none" ? none : std::stoi(field, nullptr, 0); };
    for (const auto& [line, row] : table) {
        const std::wstring text = testsupport::Unescape(row[1]);
        EXPECT_EQ(loader.GetStringLangID(std::stoi(row[0]), text.c_str()), id(row[2])) << line;
        EXPECT_EQ(loader.GetStringLangIDEx(std::stoi(row[0]), text.c_str()), id(row[3])) << line;
    }
    EXPECT_EQ(loader.GetStringLangID(14, nullptr), none);
    EXPECT_EQ(loader.GetStringLangIDEx(14, nullptr), none);
    EXPECT_TRUE(capture.records().empty());
}

} // namespace
