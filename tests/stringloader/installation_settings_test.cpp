// Loading through the installation settings: the string-table directory from
// "HomeDir", the default language from "EUQDefaultLangID", the two attempts at
// opening the key, and the records of every failure path.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::ScopedSettings;
using testsupport::TraceCapture;
using Records = std::vector<std::pair<unsigned, std::wstring>>;

const std::wstring kFromRegistry = L"CUtilStringLoader::LoadStringtable, ini path not given, read path from registry";
const std::wstring kExit = L"CUtilStringLoader::LoadStringtable";

// A home directory whose EUQ/res holds en.cfg and zh_cn.cfg.
struct Installation {
    testsupport::TempDir home;
    Installation() {
        testsupport::MakeDirectory(home.file("EUQ/res"));
        testsupport::WriteTextFile(home.file("EUQ/res/en.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=Spam\n");
        testsupport::WriteTextFile(home.file("EUQ/res/zh_cn.cfg"),
                                   L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=\u5783\u573e\r\n",
                                   testsupport::Encoding::Utf16LeBom);
    }
};

// Without a directory the load fails only when "HomeDir" cannot be read; then
// nothing is scanned and the default language is not read. A given directory,
// present or missing, is scanned and the default language is still read.
TEST(InstallationSettingsTest, LoadPathsAndTheirRecords) {
    const std::wstring key = L"Cannot read key SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
    const std::wstring wow64 = key + L" with KEY_WOW64_64KEY, code: ";
    const struct {
        const wchar_t* directory; // inside the home directory; null: none given
        bool homeDir;
        std::uint32_t defaultID; // 0: no such value
        const wchar_t* defaultAsString;
        std::uint32_t failingMask;
        Records failures; // between the entry and exit records
        int defaultAfter;
        std::size_t tables;
    } cases[] = {
        {nullptr, false, 0, nullptr, 0, {{0x1003, wow64 + L"2"}, {0x1003, key + L", code: 2"}}, 0x0407, 0},
        {nullptr, false, 0x0804, nullptr, 0, {{0x1003, L"Cannot query value HomeDir, code: 2"}}, 0x0407, 0},
        {nullptr, true, 0, nullptr, 0, {{0x1003, L"Cannot query value EUQDefaultLangID, code: 2"}}, 0x0407, 2},
        {nullptr, true, 0, L"0x0804", 0, {{0x1003, L"Cannot query value EUQDefaultLangID, code: 1630"}}, 0x0407, 2},
        {nullptr, true, 0x0409, nullptr, 0x100, {{0x1003, wow64 + L"5"}, {0x1003, wow64 + L"5"}}, 0x0409, 2},
        {nullptr, true, 0x0804, nullptr, 0, {}, 0x0804, 2},
        {L"/EUQ/res", false, 0x0804, nullptr, 0, {}, 0x0804, 2},
        {L"/nonexistent", false, 0x0804, nullptr, 0, {}, 0x0804, 0},
    };
    for (const auto& c : cases) {
        Installation installation;
        ScopedSettings settings;
        if (c.homeDir) {
            settings.SetHomeDir(installation.home.wpath());
        }
        if (c.defaultID != 0) {
            settings.SetDefaultLangID(c.defaultID);
        }
        if (c.defaultAsString != nullptr) {
            settings.SetDefaultLangIDAsString(c.defaultAsString);
        }
        testsupport::ScopedFailingOpen failing(c.failingMask, 5); // 0x100: the 64-bit view
        const std::wstring directory = installation.home.wpath() + (c.directory ? c.directory : L"");
        LoaderAccess loader;
        loader.OverrideDefaultLangID(0x0407);
        TraceCapture trace;
        EXPECT_EQ(loader.LoadAllLanguageStringTable(c.directory ? directory.c_str() : nullptr),
                  c.directory || c.homeDir);
        // The load's own records and the failures, without those of the scan and the file reader.
        Records records;
        for (const auto& record : trace.levelsAndMessages()) {
            if (record.first == 0x1003 || record.second.rfind(kExit, 0) == 0) {
                records.push_back(record);
            }
        }
        Records expected = c.failures;
        expected.insert(expected.begin(), {0x110, c.directory ? kExit + L", ini path: " + directory : kFromRegistry});
        expected.push_back({0x111, kExit});
        EXPECT_EQ(records, expected);
        EXPECT_EQ(loader.GetDefaultLangID(), c.defaultAfter);
        EXPECT_EQ(loader.m_stringTables.size(), c.tables);
    }
}

TEST(InstallationSettingsTest, LoadsFromTheRegistryDirectoryAndMergesASecondLoad) {
    Installation installation;
    ScopedSettings settings;
    settings.SetHomeDir(installation.home.wpath()).SetDefaultLangID(0x0804);
    LoaderAccess loader;
    ASSERT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    basekit::WideString directory(L"untouched");
    EXPECT_TRUE(loader.GetDefaultLangIniDirectory(directory));
    EXPECT_EQ(directory.str(), basekit::JoinPath(installation.home.wpath().c_str(), L"EUQ\\res").str());
    settings.SetDefaultLangID(0x0404);
    ASSERT_TRUE(loader.LoadAllLanguageStringTable(nullptr));
    EXPECT_EQ(loader.m_stringTables.size(), 2u);
    EXPECT_EQ(loader.GetDefaultLangID(), 0x0404);
}

} // namespace
