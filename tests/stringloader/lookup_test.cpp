// LoadStringW's fallback chain (exact language, neutral table of its primary
// language, neutral English), the two protected steps, and the value semantics
// of the loader object.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "support/loader_access.h"

namespace {

using testsupport::LoaderAccess;

constexpr int kSpam = 14; // IDS_SPAM_FOLDER_NAME

struct Text {
    int languageID;
    int stringID;
    const wchar_t* text;
};

struct LookupRow {
    const char* name;
    std::initializer_list<int> loadedEmpty; // languages loaded without string 14
    std::initializer_list<Text> texts;
    int languageID;
    int stringID;
    bool fallback;
    const wchar_t* expected;
};

const LookupRow kLookupRows[] = {
    {"exact hit without fallback", {}, {{0x0804, kSpam, L"cn"}, {4, kSpam, L"zh"}}, 0x0804, kSpam, false, L"cn"},
    {"exact hit with fallback", {}, {{0x0804, kSpam, L"cn"}, {4, kSpam, L"zh"}}, 0x0804, kSpam, true, L"cn"},
    {"neutral table fills the gap", {0x0804}, {{4, kSpam, L"zh"}, {9, kSpam, L"en"}}, 0x0804, kSpam, true, L"zh"},
    {"no fallback asked", {0x0804}, {{4, kSpam, L"zh"}}, 0x0804, kSpam, false, L""},
    {"loaded neutral table without the string ends the search",
     {0x0804, 4},
     {{9, kSpam, L"en"}},
     0x0804,
     kSpam,
     true,
     L""},
    {"sibling sub-language is never consulted",
     {},
     {{0x0404, kSpam, L"tw"}, {9, kSpam, L"en"}},
     0x0804,
     kSpam,
     true,
     L"en"},
    {"English with a sub-language is not the English fallback", {}, {{0x0409, kSpam, L"us"}}, 0x0804, kSpam, true, L""},
    {"neutral language asked, lacking the string", {4}, {{9, kSpam, L"en"}}, 4, kSpam, true, L""},
    {"regional English asked, neutral English loaded", {}, {{9, kSpam, L"en"}}, 0x0409, kSpam, true, L"en"},
    {"language 0 falls back to English", {}, {{9, kSpam, L"en"}}, 0, kSpam, true, L"en"},
    {"placeholder is an ordinary hit",
     {},
     {{0x0804, kSpam, L"Cannot load string:IDS_SPAM_FOLDER_NAME"}, {4, kSpam, L"zh"}},
     0x0804,
     kSpam,
     true,
     L"Cannot load string:IDS_SPAM_FOLDER_NAME"},
    {"string ID outside the table", {}, {{9, kSpam, L"en"}}, 9, 99, true, L""},
    {"negative string ID", {}, {{9, -1, L"odd"}}, 0x0409, -2, true, L""},
    {"negative language ID stored exactly", {}, {{-5, kSpam, L"neg"}}, -5, kSpam, false, L"neg"},
    {"IDs above bit 15: last neutral holder wins",
     {},
     {{0x10004, kSpam, L"first"}, {0x20004, kSpam, L"second"}},
     0x0804,
     kSpam,
     true,
     L"second"},
    {"IDs above bit 15: a later table without the string keeps the earlier text",
     {0x20004},
     {{0x10004, kSpam, L"first"}, {9, kSpam, L"en"}},
     0x0804,
     kSpam,
     true,
     L"first"},
    {"stored IDs are not masked", {}, {{0x0404, kSpam, L"tw"}}, 0x10404, kSpam, false, L""},
};

TEST(LookupTest, FallbackChain) {
    for (const LookupRow& row : kLookupRows) {
        LoaderAccess loader;
        for (const int languageID : row.loadedEmpty) {
            loader.AddLanguage(languageID);
        }
        for (const Text& text : row.texts) {
            loader.AddText(text.languageID, text.stringID, text.text);
        }
        EXPECT_EQ(loader.LoadStringW(row.languageID, row.stringID, row.fallback).str(), row.expected) << row.name;
    }
}

TEST(LookupTest, DefaultLanguageTakesNoPartInTheLookup) {
    LoaderAccess loader;
    loader.AddText(9, kSpam, L"en").AddText(0x040a, kSpam, L"es");
    loader.OverrideDefaultLangID(0x040a);
    EXPECT_EQ(loader.LoadStringW(0x0804, kSpam, true).str(), L"en");
    EXPECT_EQ(loader.GetDefaultLangID(), 0x040a);
    loader.OverrideDefaultLangID(-7);
    EXPECT_EQ(loader.GetDefaultLangID(), -7);
}

TEST(LookupTest, NewLoaderFindsNothing) {
    LoaderAccess loader;
    EXPECT_EQ(loader.GetDefaultLangID(), CUtilStringLoader::LANG_ID_EN);
    EXPECT_EQ(CUtilStringLoader::LANG_ID_EN, 9);
    for (const int languageID : {0, 4, 9, 0x0409, -1}) {
        for (const bool fallback : {false, true}) {
            EXPECT_TRUE(loader.LoadStringW(languageID, kSpam, fallback).empty());
        }
        basekit::WideString output(L"kept");
        EXPECT_FALSE(loader.LoadAString(languageID, kSpam, output));
        EXPECT_FALSE(loader.LoadStringUsingPrimaryLangID(languageID, kSpam, output));
        EXPECT_EQ(output.str(), L"kept");
    }
}

TEST(LookupTest, ProtectedStepsReportWhatTheyFound) {
    LoaderAccess loader;
    loader.AddText(4, 1, L"zh").AddLanguage(9);
    basekit::WideString output(L"kept");
    EXPECT_FALSE(loader.LoadAString(4, kSpam, output));
    EXPECT_EQ(output.str(), L"kept");
    // True because a neutral table is loaded, though it lacks the string.
    EXPECT_TRUE(loader.LoadStringUsingPrimaryLangID(0x0804, kSpam, output));
    EXPECT_EQ(output.str(), L"kept");
    EXPECT_TRUE(loader.LoadStringUsingPrimaryLangID(0x0c04, 1, output));
    EXPECT_EQ(output.str(), L"zh");
    EXPECT_TRUE(loader.LoadAString(4, 1, output));
}

TEST(LookupTest, LookupsHandOutCopies) {
    LoaderAccess loader;
    loader.AddText(9, kSpam, L"Spam");
    basekit::WideString text = loader.LoadStringW(9, kSpam, false);
    text += L" changed";
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), L"Spam");
}

TEST(LoaderValueTest, CopiesAreIndependent) {
    LoaderAccess source;
    source.AddText(9, kSpam, L"en");
    source.OverrideDefaultLangID(0x0804);

    LoaderAccess copy(source);
    copy.AddText(4, kSpam, L"zh");
    source.AddText(0x0407, kSpam, L"de");
    source.OverrideDefaultLangID(7);

    EXPECT_EQ(copy.GetDefaultLangID(), 0x0804);
    EXPECT_EQ(copy.LoadStringW(9, kSpam, false).str(), L"en");
    EXPECT_TRUE(copy.LoadStringW(0x0407, kSpam, false).empty());
    EXPECT_TRUE(source.LoadStringW(4, kSpam, false).empty());
}

TEST(LoaderValueTest, AssignmentReplacesStoreAndDefault) {
    LoaderAccess target;
    target.AddText(4, kSpam, L"zh").AddText(9, 1, L"old");
    LoaderAccess source;
    source.AddText(9, kSpam, L"en");
    source.OverrideDefaultLangID(0x0409);

    target = source;
    EXPECT_EQ(target.m_stringTables, source.m_stringTables);
    EXPECT_EQ(target.GetDefaultLangID(), 0x0409);
    source.AddText(9, 2, L"later");
    EXPECT_TRUE(target.LoadStringW(9, 2, false).empty());

    target = LoaderAccess();
    EXPECT_TRUE(target.m_stringTables.empty());
    EXPECT_EQ(target.GetDefaultLangID(), 9);
}

TEST(LoaderValueTest, SelfAssignmentKeepsEverything) {
    LoaderAccess loader;
    loader.AddText(9, kSpam, L"en").AddLanguage(4);
    loader.OverrideDefaultLangID(0x0804);
    const auto before = loader.m_stringTables;
    CUtilStringLoader& self = loader;
    loader = static_cast<const LoaderAccess&>(self);
    EXPECT_EQ(loader.m_stringTables, before);
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0804);
}

TEST(LoaderValueTest, ArraysAndDestructionThroughBase) {
    auto* loaders = new CUtilStringLoader[3];
    delete[] loaders;
    CUtilStringLoader* loader = new LoaderAccess();
    delete loader; // virtual destructor: no leak under the sanitizers
}

} // namespace
