// Loading through the installation settings: the string-table directory from
// "HomeDir", the default language from "EUQDefaultLangID", the two attempts at
// opening the key, and the records of every failure path.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::ScopedFailingOpen;
using testsupport::ScopedSettings;
using testsupport::TempDir;
using testsupport::TraceCapture;

using Records = std::vector<std::pair<unsigned, std::wstring>>;

constexpr int kSpam = 14;
const std::wstring kKey = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
const std::wstring kLoadFromRegistry =
    L"CUtilStringLoader::LoadStringtable, ini path not given, read path from registry";
const std::wstring kLoadExit = L"CUtilStringLoader::LoadStringtable";

// A home directory whose EUQ/res holds en.cfg and zh_cn.cfg.
struct Installation {
    TempDir home;
    Installation() {
        testsupport::MakeDirectory(home.file("EUQ/res"));
        testsupport::WriteTextFile(home.file("EUQ/res/en.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=Spam\n");
        testsupport::WriteTextFile(home.file("EUQ/res/zh_cn.cfg"),
                                   L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=\u5783\u573e\u90ae\u4ef6\r\n",
                                   testsupport::Encoding::Utf16LeBom);
    }
};

// Records other than the per-file and per-string ones of the file reader.
Records LoadRecords(const TraceCapture& trace) {
    Records result;
    for (const auto& record : trace.levelsAndMessages()) {
        const bool fileReader = record.first == 0x102 ||
                                record.second.rfind(L"CUtilStringLoader::LoadAllLanguageStringTable", 0) == 0 ||
                                record.second.rfind(L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables", 0) == 0;
        if (!fileReader) {
            result.push_back(record);
        }
    }
    return result;
}

TEST(InstallationSettingsTest, LoadsEverythingFromTheRegistry) {
    Installation installation;
    ScopedSettings settings;
    settings.SetHomeDir(installation.home.wpath()).SetDefaultLangID(0x0804);
    LoaderAccess loader;
    TraceCapture trace;
    EXPECT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), L"Spam");
    EXPECT_EQ(loader.LoadStringW(0x0804, kSpam, false).str(), L"\u5783\u573e\u90ae\u4ef6");
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0804);
    EXPECT_EQ(LoadRecords(trace), (Records{{0x110, kLoadFromRegistry}, {0x111, kLoadExit}}));

    basekit::WideString directory(L"untouched");
    EXPECT_TRUE(loader.GetDefaultLangIniDirectory(directory));
    EXPECT_EQ(directory.str(), basekit::JoinPath(installation.home.wpath().c_str(), L"EUQ\\res").str());
}

TEST(InstallationSettingsTest, NoKeyInEitherViewFailsTheLoad) {
    ScopedSettings settings; // no key
    LoaderAccess loader;
    loader.OverrideDefaultLangID(0x0407);
    TraceCapture trace;
    EXPECT_FALSE(loader.LoadAllLanguageStringTable(nullptr));
    EXPECT_EQ(trace.levelsAndMessages(),
              (Records{{0x110, kLoadFromRegistry},
                       {0x1003, L"Cannot read key " + kKey + L" with KEY_WOW64_64KEY, code: 2"},
                       {0x1003, L"Cannot read key " + kKey + L", code: 2"},
                       {0x111, kLoadExit}}));
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0407);
    EXPECT_TRUE(loader.m_stringTables.empty());
}

TEST(InstallationSettingsTest, SecondAttemptWithoutViewFlagIsMadeByEachMember) {
    Installation installation;
    ScopedSettings settings;
    settings.SetHomeDir(installation.home.wpath()).SetDefaultLangID(0x0409);
    ScopedFailingOpen failing(0x100, 5); // the 64-bit-view attempts fail
    LoaderAccess loader;
    TraceCapture trace;
    EXPECT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    const std::wstring firstAttemptFailed = L"Cannot read key " + kKey + L" with KEY_WOW64_64KEY, code: 5";
    EXPECT_EQ(LoadRecords(trace), (Records{{0x110, kLoadFromRegistry},
                                           {0x1003, firstAttemptFailed}, // reading HomeDir
                                           {0x1003, firstAttemptFailed}, // reading EUQDefaultLangID
                                           {0x111, kLoadExit}}));
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0409);
    EXPECT_EQ(loader.m_stringTables.size(), 2u);
}

TEST(InstallationSettingsTest, MissingHomeDirStopsBeforeTheScan) {
    ScopedSettings settings;
    settings.SetDefaultLangID(0x0804); // present, but never read on this path
    LoaderAccess loader;
    TraceCapture trace;
    EXPECT_FALSE(loader.LoadAllLanguageStringTable(nullptr));
    EXPECT_EQ(
        trace.levelsAndMessages(),
        (Records{{0x110, kLoadFromRegistry}, {0x1003, L"Cannot query value HomeDir, code: 2"}, {0x111, kLoadExit}}));
    EXPECT_EQ(loader.GetDefaultLangID(), 9);
}

TEST(InstallationSettingsTest, DefaultLanguageProblemsLeaveTheDefaultAndTheResult) {
    struct Row {
        const char* name;
        bool setAsString;
        std::wstring record;
    };
    const Row rows[] = {
        {"value missing", false, L"Cannot query value EUQDefaultLangID, code: 2"},
        {"value of the wrong type", true, L"Cannot query value EUQDefaultLangID, code: 1630"},
    };
    for (const Row& row : rows) {
        Installation installation;
        ScopedSettings settings;
        settings.SetHomeDir(installation.home.wpath());
        if (row.setAsString) {
            settings.SetDefaultLangIDAsString(L"0x0804");
        }
        LoaderAccess loader;
        loader.OverrideDefaultLangID(0x040a);
        TraceCapture trace;
        EXPECT_TRUE(loader.LoadAllLanguageStringTable(nullptr)) << row.name;
        EXPECT_EQ(LoadRecords(trace), (Records{{0x110, kLoadFromRegistry}, {0x1003, row.record}, {0x111, kLoadExit}}))
            << row.name;
        EXPECT_EQ(loader.GetDefaultLangID(), 0x040a) << row.name;
        EXPECT_EQ(loader.m_stringTables.size(), 2u) << row.name;
    }
}

TEST(InstallationSettingsTest, GivenDirectoryStillTakesTheDefaultLanguageFromTheRegistry) {
    Installation installation;
    ScopedSettings settings;
    settings.SetDefaultLangID(0x0804);
    LoaderAccess loader;
    loader.OverrideDefaultLangID(0x0407); // replaced by the registry value
    const std::wstring directory = installation.home.wpath() + L"/EUQ/res";
    EXPECT_TRUE(loader.LoadAllLanguageStringTable(directory.c_str()));
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0804);
    EXPECT_EQ(loader.m_stringTables.size(), 2u);
}

TEST(InstallationSettingsTest, MissingDirectoryIsNoFailure) {
    TempDir dir;
    ScopedSettings settings;
    settings.SetDefaultLangID(0x0c0c);
    LoaderAccess loader;
    const std::wstring missing = dir.wpath() + L"/nonexistent";
    TraceCapture trace;
    EXPECT_TRUE(loader.LoadAllLanguageStringTable(missing.c_str()));
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0c0c);
    const auto records = trace.levelsAndMessages();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0],
              (std::pair<unsigned, std::wstring>{0x110, L"CUtilStringLoader::LoadStringtable, ini path: " + missing}));
    EXPECT_EQ(records[3], (std::pair<unsigned, std::wstring>{0x111, kLoadExit}));
}

TEST(InstallationSettingsTest, SecondLoadMergesAndRereadsTheDefault) {
    Installation installation;
    ScopedSettings settings;
    settings.SetHomeDir(installation.home.wpath()).SetDefaultLangID(0x0804);
    LoaderAccess loader;
    ASSERT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    const auto firstTables = loader.m_stringTables;
    settings.SetDefaultLangID(0x0404);
    ASSERT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    EXPECT_EQ(loader.m_stringTables, firstTables);
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0404);
}

} // namespace
