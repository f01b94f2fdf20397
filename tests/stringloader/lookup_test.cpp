// The store's lookups and queries, on stores filled through LoaderAccess:
// LoadStringW's fallback chain (exact language, neutral table of its primary
// language, neutral English) and its two protected steps, the value semantics
// of the loader object, GetLanguages, MatchMostAppropriateLangID, and
// GetStringLangID and GetStringLangIDEx (with the ";"-list tokenizer behind it).
// The cases are rows of the data/*.txt files named below.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden_table.h"
#include "support/loader_access.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;

constexpr int kSpam = 14; // IDS_SPAM_FOLDER_NAME

const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";

// "five" in a field of the data files: five languages.
const std::string kFive = "0x0804 9 0x0404 4 0x0409";

// A list field: numbers in C notation.
std::vector<int> Ints(const std::string& field) {
    std::istringstream stream(field == "five" ? kFive : field);
    std::vector<int> result;
    for (std::string number; stream >> number;) {
        result.push_back(static_cast<int>(std::stoll(number, nullptr, 0))); // 0xffff0004 is -65532
    }
    return result;
}

// A store field: languages as in Ints, each optionally "=text" of string 14.
LoaderAccess Loaded(const std::string& field) {
    LoaderAccess loader;
    std::istringstream store(field == "five" ? kFive : field);
    for (std::string entry; store >> entry;) {
        const auto languageID = static_cast<int>(std::stoll(entry, nullptr, 0));
        loader.AddLanguage(languageID);
        if (entry.find('=') != std::string::npos) {
            loader.AddText(languageID, kSpam, testsupport::Unescape(entry.substr(entry.find('=') + 1)).c_str());
        }
    }
    return loader;
}

// Rows in data/lookup.txt, under a default language that takes no part in the
// lookup; every row also asks for a string ID no table has.
TEST(LookupTest, FallbackChain) {
    const auto table = testsupport::ReadTable(kData + "lookup.txt");
    ASSERT_EQ(table.size(), 21u);
    for (const auto& [line, row] : table) {
        LoaderAccess loader = Loaded(row[0]);
        loader.OverrideDefaultLangID(0x040a);
        const int languageID = std::stoi(row[1], nullptr, 0);
        EXPECT_EQ(loader.LoadStringW(languageID, kSpam, row[2] == "1").str(), testsupport::Unescape(row[3])) << line;
        EXPECT_TRUE(loader.LoadStringW(languageID, 99, true).empty());
    }
}

// LoadStringW takes its own path; these two are for derived classes and tools.
TEST(LookupTest, ProtectedStepsReportWhatTheyFound) {
    LoaderAccess loader;
    basekit::WideString output(L"kept");
    loader.AddText(4, 1, L"zh").AddLanguage(9);
    EXPECT_FALSE(loader.LoadAString(4, kSpam, output) || loader.LoadAString(0x0804, 1, output));
    // True when a neutral table is loaded, though it lacks the string.
    EXPECT_TRUE(loader.LoadStringUsingPrimaryLangID(0x0804, kSpam, output));
    EXPECT_FALSE(loader.LoadStringUsingPrimaryLangID(0x0807, 1, output) ||
                 loader.LoadStringUsingPrimaryLangID(0x0904, 1, output)); // primary language 0x104, not 4
    EXPECT_EQ(output.str(), L"kept");
    EXPECT_TRUE(loader.LoadStringUsingPrimaryLangID(0x0c04, 1, output) && output.str() == L"zh");
    output = L"kept";
    EXPECT_TRUE(loader.LoadAString(4, 1, output) && output.str() == L"zh");
}

// Copies that outlive their source are in the exports test.
TEST(LoaderValueTest, SelfAssignmentKeepsTheStoreAndAFreshObjectEmptiesIt) {
    LoaderAccess source;
    source.AddText(0x0407, kSpam, L"de").OverrideDefaultLangID(7);
    const auto before = source.m_stringTables;
    static_cast<CUtilStringLoader&>(source) = static_cast<const CUtilStringLoader&>(source);
    EXPECT_TRUE(source.m_stringTables == before && source.GetDefaultLangID() == 7);
    source = LoaderAccess();
    EXPECT_TRUE(source.m_stringTables.empty() && source.GetDefaultLangID() == 9);
}

TEST(LanguageQueriesTest, GetLanguagesRoomRules) {
    const LoaderAccess five = Loaded("five");
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
        EXPECT_EQ(Loaded(row[0]).GetLanguages(&vector, &count), std::stoul(row[3])) << line;
        EXPECT_EQ(count, std::stoi(row[4])) << line;
        EXPECT_EQ(vector, Ints(row[5])) << line;
    }
}

TEST(LanguageQueriesTest, MatchMostAppropriateTakesExactElseNeutralOfThePrimaryLanguage) {
    const auto table = testsupport::ReadTable(kData + "match_language.txt");
    ASSERT_EQ(table.size(), 11u);
    for (const auto& [line, row] : table) {
        EXPECT_EQ(Loaded(row[0]).MatchMostAppropriateLangID(std::stoi(row[1], nullptr, 0)), Ints(row[2])[0]) << line;
    }
}

TEST(LanguageQueriesTest, TextQueriesCompareWholeTextsOrListItems) {
    LoaderAccess loader = Loaded("five");
    testsupport::TraceCapture capture;
    EXPECT_EQ(loader.GetStringLangIDEx(14, L"Spam"), 9); // a fresh object's default
    // An unloaded default, so no match cannot pass for one in table 9, and wider
    // than 16 bits: the default is kept whole.
    const int none = 0x7f010c0a;
    loader.OverrideDefaultLangID(none);
    loader.AddText(9, 14, L"Spam").AddText(0x0409, 14, L"Spam").AddText(0x0404, 13, L" Spam");
    loader.AddText(0x0804, 21, L"Junk; Spam ;Bulk Mail,Phishing\r\n;\fPhish").AddText(0x0404, 16, L"\tInbox\r\n");
    loader.AddText(4, 22, L";;Spam;;").AddText(0x0804, 22, L"Spam").AddText(0x0409, 15, L"");
    const auto table = testsupport::ReadTable(kData + "text_queries.txt");
    ASSERT_EQ(table.size(), 16u);
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
