// LoadStringW's fallback chain (exact language, neutral table of its primary
// language, neutral English), its two protected steps, and the value
// semantics of the loader object.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/golden_table.h"
#include "support/loader_access.h"

namespace {

using testsupport::LoaderAccess;

constexpr int kSpam = 14; // IDS_SPAM_FOLDER_NAME

const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";

// Rows in data/lookup.txt, under a default language that takes no part in the
// lookup; every row also asks for a string ID no table has.
TEST(LookupTest, FallbackChain) {
    const auto table = testsupport::ReadTable(kData + "lookup.txt");
    ASSERT_EQ(table.size(), 16u);
    for (const auto& [line, row] : table) {
        LoaderAccess loader;
        loader.OverrideDefaultLangID(0x040a);
        std::istringstream store(row[0]);
        for (std::string entry; store >> entry;) {
            const auto languageID = static_cast<int>(std::stoll(entry, nullptr, 0)); // 0xffff0004 is -65532
            loader.AddLanguage(languageID);
            if (entry.find('=') != std::string::npos) {
                loader.AddText(languageID, kSpam, testsupport::Unescape(entry.substr(entry.find('=') + 1)).c_str());
            }
        }
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
    EXPECT_FALSE(loader.LoadStringUsingPrimaryLangID(0x0807, 1, output));
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

} // namespace
