// LoadStringW's fallback chain (exact language, neutral table of its primary
// language, neutral English), its two protected steps, and the value
// semantics of the loader object.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>

#include "support/loader_access.h"

namespace {

using testsupport::LoaderAccess;

constexpr int kSpam = 14; // IDS_SPAM_FOLDER_NAME

// The store: each language with its text for string 14, or null for a language
// loaded without it.
struct LookupRow {
    std::initializer_list<std::pair<int, const wchar_t*>> store;
    int languageID;
    bool fallback;
    const wchar_t* expected;
};

const LookupRow kLookupRows[] = {
    {{{0x0804, L"cn"}, {4, L"zh"}}, 0x0804, true, L"cn"},               // the exact language comes first
    {{{0x0804, nullptr}, {4, L"zh"}, {9, L"en"}}, 0x0804, true, L"zh"}, // neutral table fills the gap
    {{{0x0804, nullptr}, {4, L"zh"}}, 0x0804, false, L""},              // no fallback asked
    {{{0x0804, nullptr}, {4, nullptr}, {9, L"en"}}, 0x0804, true, L""}, // loaded neutral table ends the search
    {{{0x0404, L"tw"}, {9, L"en"}}, 0x0804, true, L"en"},               // a sibling sub-language is never asked
    {{{0x0409, L"us"}}, 0x0804, true, L""},                             // only neutral English is the fallback
    {{{4, nullptr}, {9, L"en"}}, 4, true, L""},                         // neutral asked: its own table ends it
    {{{9, L"en"}}, 0x0409, true, L"en"},                                // neutral English by the neutral step
    {{{9, L"en"}}, 0, true, L"en"},                                     // language 0
    {{{-5, L"neg"}}, -5, false, L"neg"},                                // negative IDs are stored exactly
    {{{0x0404, L"tw"}}, 0x10404, false, L""},                           // stored IDs are not masked
    {{{0x10004, L"one"}, {0x20004, L"two"}}, 0x0804, true, L"two"},     // neutral above bit 15: last holder
    {{{0x10004, L"one"}, {0x20004, nullptr}, {9, L"en"}}, 0x0804, true, L"one"},
};

TEST(LookupTest, FallbackChain) {
    for (const LookupRow& row : kLookupRows) {
        LoaderAccess loader;
        for (const auto& [languageID, text] : row.store) {
            loader.AddLanguage(languageID);
            if (text != nullptr) {
                loader.AddText(languageID, kSpam, text);
            }
        }
        EXPECT_EQ(loader.LoadStringW(row.languageID, kSpam, row.fallback).str(), row.expected) << (&row - kLookupRows);
        EXPECT_TRUE(loader.LoadStringW(row.languageID, 99, true).empty()); // no such string ID anywhere
    }
}

TEST(LookupTest, DefaultLanguageTakesNoPartInTheLookup) {
    LoaderAccess loader;
    EXPECT_EQ(loader.GetDefaultLangID(), 9);
    loader.AddText(9, kSpam, L"en").AddText(0x040a, kSpam, L"es").OverrideDefaultLangID(0x040a);
    EXPECT_EQ(loader.LoadStringW(0x0804, kSpam, true).str(), L"en");
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
    static_assert(std::has_virtual_destructor_v<CUtilStringLoader>);
    LoaderAccess source;
    source.AddText(0x0407, kSpam, L"de").OverrideDefaultLangID(7);
    const auto before = source.m_stringTables;
    static_cast<CUtilStringLoader&>(source) = static_cast<const CUtilStringLoader&>(source);
    EXPECT_TRUE(source.m_stringTables == before && source.GetDefaultLangID() == 7);
    source = LoaderAccess();
    EXPECT_TRUE(source.m_stringTables.empty() && source.GetDefaultLangID() == 9);
}

} // namespace
