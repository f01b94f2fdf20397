// Loading through the installation settings, against the registry the
// platform really has (the Windows registry, or the .reg file on Linux): the
// string-table directory from "HomeDir", the default language from
// "EUQDefaultLangID", what RegistryKey reads of each value type, the two
// attempts at opening the key, and the records of every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/golden_table.h"
#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "win32_api.h"

namespace {

using Records = std::vector<std::pair<unsigned, std::wstring>>;

const std::wstring kExit = L"CUtilStringLoader::LoadStringtable";
const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";
// What the REG_EXPAND_SZ row's HomeDir expands to.
const std::wstring kExpanded = std::wstring(600, L'x') + L"\\EUQ %UL_NOT_SET% 5%";

// A type field: "-" (no value), or a REG_* name; REG_SZ to REG_DWORD are 1 to 4.
DWORD Type(const std::string& name) {
    const std::vector<std::string> names = {"-", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD"};
    const auto at = std::find(names.begin(), names.end(), name);
    return name == "REG_QWORD" ? REG_QWORD : static_cast<DWORD>(at - names.begin());
}

// Rows in data/installation_settings.txt; each loads twice.
TEST(InstallationSettingsTest, LoadPathsValueTypesAndTheirRecords) {
    testsupport::SetEnv("UL_REGISTRY_TEST", std::string(600, 'x'));
    const auto table = testsupport::ReadTable(kData + "installation_settings.txt");
    ASSERT_EQ(table.size(), 15u);
    for (const auto& [line, row] : table) {
        SCOPED_TRACE(line);
        const bool given = row[0] != "-", hasHome = row[1] != "-";
        const DWORD homeType = Type(row[2]), defaultType = Type(row[3]);
        Records failures;
        std::istringstream list(row[7]);
        for (std::string record; std::getline(list, record, ';');) {
            record.erase(0, record.find_first_not_of(' '));
            const std::string text = record.substr(record.find(' ') + 1);
            failures.emplace_back(std::stoul(record, nullptr, 0), testsupport::Unescape(text));
        }
        testsupport::TempDir home; // EUQ/res holds en.cfg and zh_cn.cfg
        testsupport::MakeDirectory(home.file("EUQ/res"));
        for (const char* name : {"EUQ/res/en.cfg", "EUQ/res/zh_cn.cfg"}) {
            testsupport::WriteTextFile(home.file(name), testsupport::LoaderAccess::TableText(L"x"));
        }
        testsupport::ScopedSettings settings;
        const std::wstring homeValue = !hasHome ? L"" : row[1] != "home" ? testsupport::Unescape(row[1]) : home.wpath();
        if (hasHome) {
            homeType == REG_DWORD ? settings.SetNumber(L"HomeDir", 9)
                                  : settings.SetString(L"HomeDir", homeValue, homeType);
        }
        if (defaultType != 0) {
            defaultType == REG_SZ
                ? settings.SetString(L"EUQDefaultLangID", L"0x0804")
                : settings.SetNumber(L"EUQDefaultLangID", std::stoul(row[4], nullptr, 0), defaultType);
        }
        testsupport::ScopedFailingOpen failing(static_cast<std::uint32_t>(std::stoul(row[5], nullptr, 0)), 5);
        const std::wstring directory = given && !row[0].empty() ? home.wpath() + testsupport::Unescape(row[0]) : L"";
        testsupport::LoaderAccess loader;
        for (int load = 0; load < 2; ++load) {
            loader.OverrideDefaultLangID(0x0407);
            testsupport::TraceCapture trace;
            EXPECT_EQ(loader.LoadAllLanguageStringTable(given ? directory.c_str() : nullptr), row[6] == "1");
            // The load's own records and the failures, without those of the scan and the file reader.
            Records records;
            for (const auto& record : trace.levelsAndMessages()) {
                if (record.first == 0x1003 || record.second.rfind(kExit, 0) == 0) {
                    records.push_back(record);
                }
            }
            Records expected = failures;
            expected.insert(expected.begin(),
                            {0x110, given ? kExit + L", ini path: " + directory
                                          : kExit + L", ini path not given, read path from registry"});
            expected.push_back({0x111, kExit});
            EXPECT_EQ(records, expected);
            EXPECT_EQ(loader.GetDefaultLangID(), std::stoi(row[8], nullptr, 0));
            EXPECT_EQ(loader.m_stringTables.size(), std::stoul(row[9]));
        }
        basekit::WideString read(L"untouched");
        const bool readable = hasHome && homeType != REG_DWORD;
        EXPECT_EQ(loader.GetDefaultLangIniDirectory(read), readable);
        const std::wstring expanded = homeType == REG_EXPAND_SZ ? kExpanded : homeValue;
        EXPECT_EQ(read.str(), readable ? basekit::JoinPath(expanded.c_str(), L"EUQ\\res").str() : L"untouched");
    }
}

} // namespace
