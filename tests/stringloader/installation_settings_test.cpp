// Loading through the installation settings, against the registry the
// platform really has (the Windows registry, or the .reg file on Linux): the
// string-table directory from "HomeDir", the default language from
// "EUQDefaultLangID", what RegistryKey reads of each value type, the two
// attempts at opening the key, and the records of every failure path.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "win32_api.h"

#ifdef _WIN32
#define setenv(name, value, overwrite) _putenv_s(name, value)
#endif

namespace {

using Records = std::vector<std::pair<unsigned, std::wstring>>;

const std::wstring kExit = L"CUtilStringLoader::LoadStringtable";
const std::wstring kKey = L"Cannot read key SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
const std::wstring kWow64 = kKey + L" with KEY_WOW64_64KEY, code: ";
const std::wstring kNoDefault = L"Cannot query value EUQDefaultLangID, code: ";
// A REG_EXPAND_SZ HomeDir that expands to far more than it stores: the read must size its buffer by the result.
const std::wstring kExpandable = L"%UL_REGISTRY_TEST%\\EUQ %UL_NOT_SET% 5%";
const std::wstring kExpanded = std::wstring(600, L'x') + L"\\EUQ %UL_NOT_SET% 5%";

// Without a directory the load fails only when "HomeDir" cannot be read; then
// nothing is scanned and the default language is not read. A given directory,
// present, missing or empty, is scanned and the default language is still
// read, all 32 bits of it. Each row loads twice: a second load scans again and
// reads the default again.
TEST(InstallationSettingsTest, LoadPathsValueTypesAndTheirRecords) {
    setenv("UL_REGISTRY_TEST", std::string(600, 'x').c_str(), 1);
    const struct {
        const wchar_t* directory; // inside the home directory when it starts with '/'; null: none given
        const wchar_t* homeDir;   // null: no such value; "": the home directory, with two tables
        DWORD homeType;
        DWORD defaultType; // 0: no such value; REG_SZ: the text "0x0804"
        std::uint32_t defaultID;
        std::uint32_t failingMask; // 0x100: Opens in the 64-bit view fail with 5
        bool result;
        Records failures; // between the entry and exit records
        int defaultAfter;
        std::size_t tables;
    } cases[] = {
        // clang-format off
        {nullptr, nullptr, 0, 0, 0, 0, false, {{0x1003, kWow64 + L"2"}, {0x1003, kKey + L", code: 2"}}, 0x0407, 0},
        {nullptr, nullptr, 0, 0, 0, 0x100, false, {{0x1003, kWow64 + L"5"}, {0x1003, kKey + L", code: 2"}}, 0x0407, 0},
        {nullptr, nullptr, 0, REG_DWORD, 0x0804, 0, false, {{0x1003, L"Cannot query value HomeDir, code: 2"}}, 0x0407, 0},
        {nullptr, L"", REG_SZ, 0, 0, 0, true, {{0x1003, kNoDefault + L"2"}}, 0x0407, 2},
        {nullptr, L"", REG_SZ, REG_SZ, 0, 0, true, {{0x1003, kNoDefault + L"1630"}}, 0x0407, 2},
        {nullptr, L"", REG_SZ, REG_QWORD, 0x0804, 0, true, {{0x1003, kNoDefault + L"1630"}}, 0x0407, 2},
        {nullptr, L"", REG_SZ, REG_BINARY, 0x0804, 0, true, {{0x1003, kNoDefault + L"1630"}}, 0x0407, 2},
        {nullptr, L"", REG_SZ, REG_DWORD, 0x0409, 0x100, true, {{0x1003, kWow64 + L"5"}, {0x1003, kWow64 + L"5"}}, 0x0409, 2},
        {nullptr, L"", REG_SZ, REG_DWORD, 0x0804, 0, true, {}, 0x0804, 2},
        {nullptr, L"", REG_DWORD, REG_DWORD, 0x0804, 0, false, {{0x1003, L"Cannot query value HomeDir, code: 1630"}}, 0x0407, 0},
        {nullptr, kExpandable.c_str(), REG_EXPAND_SZ, REG_DWORD, 0x0804, 0, true, {}, 0x0804, 0},
        {nullptr, L"", REG_SZ, REG_DWORD, 0xffffffff, 0, true, {}, -1, 2},
        {L"/EUQ/res", nullptr, 0, REG_DWORD, 0x7f010804, 0, true, {}, 0x7f010804, 2},
        {L"", L"", REG_SZ, REG_DWORD, 0x0804, 0, true, {}, 0x0804, 0},
        {L"/nonexistent", nullptr, 0, REG_DWORD, 0x0804, 0, true, {}, 0x0804, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        testsupport::TempDir home; // EUQ/res holds en.cfg and zh_cn.cfg
        testsupport::MakeDirectory(home.file("EUQ/res"));
        for (const char* name : {"EUQ/res/en.cfg", "EUQ/res/zh_cn.cfg"}) {
            testsupport::WriteTextFile(home.file(name), testsupport::LoaderAccess::TableText(L"x"));
        }
        testsupport::ScopedSettings settings;
        const std::wstring homeValue = c.homeDir == nullptr ? L"" : *c.homeDir != L'\0' ? c.homeDir : home.wpath();
        if (c.homeDir != nullptr) {
            c.homeType == REG_DWORD ? settings.SetNumber(L"HomeDir", 9)
                                    : settings.SetString(L"HomeDir", homeValue, c.homeType);
        }
        if (c.defaultType != 0) {
            c.defaultType == REG_SZ ? settings.SetString(L"EUQDefaultLangID", L"0x0804")
                                    : settings.SetNumber(L"EUQDefaultLangID", c.defaultID, c.defaultType);
        }
        testsupport::ScopedFailingOpen failing(c.failingMask, 5);
        const std::wstring directory = c.directory && *c.directory ? home.wpath() + c.directory : L"";
        testsupport::LoaderAccess loader;
        for (int load = 0; load < 2; ++load) {
            loader.OverrideDefaultLangID(0x0407);
            testsupport::TraceCapture trace;
            EXPECT_EQ(loader.LoadAllLanguageStringTable(c.directory ? directory.c_str() : nullptr), c.result);
            // The load's own records and the failures, without those of the scan and the file reader.
            Records records;
            for (const auto& record : trace.levelsAndMessages()) {
                if (record.first == 0x1003 || record.second.rfind(kExit, 0) == 0) {
                    records.push_back(record);
                }
            }
            Records expected = c.failures;
            expected.insert(expected.begin(),
                            {0x110, c.directory ? kExit + L", ini path: " + directory
                                                : kExit + L", ini path not given, read path from registry"});
            expected.push_back({0x111, kExit});
            EXPECT_EQ(records, expected);
            EXPECT_EQ(loader.GetDefaultLangID(), c.defaultAfter);
            EXPECT_EQ(loader.m_stringTables.size(), c.tables);
        }
        basekit::WideString read(L"untouched");
        const bool readable = c.homeDir != nullptr && c.homeType != REG_DWORD;
        EXPECT_EQ(loader.GetDefaultLangIniDirectory(read), readable);
        const std::wstring expanded = c.homeType == REG_EXPAND_SZ ? kExpanded : homeValue;
        EXPECT_EQ(read.str(), readable ? basekit::JoinPath(expanded.c_str(), L"EUQ\\res").str() : L"untouched");
    }
}

} // namespace
