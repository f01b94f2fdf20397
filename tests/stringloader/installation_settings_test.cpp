// Loading through the installation settings, against the registry the
// platform really has (the Windows registry, or the .reg file on Linux): the
// string-table directory from "HomeDir", the default language from
// "EUQDefaultLangID", what RegistryKey reads of each value type, the two
// attempts at opening the key, and the records of every failure path.
#include <gtest/gtest.h>

#include <map>
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
const std::wstring kScanExit = L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables";
const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";
const std::map<std::string, DWORD> kTypes = {{"REG_SZ", REG_SZ},
                                             {"REG_EXPAND_SZ", REG_EXPAND_SZ},
                                             {"REG_BINARY", REG_BINARY},
                                             {"REG_DWORD", REG_DWORD},
                                             {"REG_QWORD", REG_QWORD}};

// Rows in data/installation_settings.txt; each loads twice.
TEST(InstallationSettingsTest, LoadPathsValueTypesAndTheirRecords) {
    testsupport::SetEnv("UL_REGISTRY_TEST", std::string(600, 'x'));
    const auto table = testsupport::ReadTable(kData + "installation_settings.txt");
    ASSERT_EQ(table.size(), 17u);
    for (const auto& [line, row] : table) {
        SCOPED_TRACE(line);
        testsupport::TempDir home; // EUQ/res holds en.cfg and zh_cn.cfg
        testsupport::MakeDirectory(home.file("EUQ/res"));
        for (const char* name : {"EUQ/res/en.cfg", "EUQ/res/zh_cn.cfg"}) {
            testsupport::WriteTextFile(home.file(name), testsupport::LoaderAccess::TableText(L"x"));
        }
        const auto text = [&home](const std::string& field) { // "home" stands for the home directory
            return field == "home" ? home.wpath() : testsupport::Unescape(field);
        };
        testsupport::ScopedSettings settings(static_cast<std::uint32_t>(std::stoul(row[3], nullptr, 0)));
        for (const int column : {1, 2}) { // a REG_* type name, then the value as text
            const std::string& field = row[column];
            if (field != "-") {
                settings.Set(column == 1 ? L"HomeDir" : L"EUQDefaultLangID",
                             kTypes.at(field.substr(0, field.find(' '))), text(field.substr(field.find(' ') + 1)));
            }
        }
        const bool given = row[0] != "-";
        const std::wstring directory = given && !row[0].empty() ? home.wpath() + testsupport::Unescape(row[0]) : L"";
        Records expected{
            {0x110, kExit + (given ? L", ini path: " + directory : L", ini path not given, read path from registry")}};
        for (std::size_t i = 8; i < row.size(); ++i) {
            expected.emplace_back(row[i] == "scan" ? 0x111 : 0x1003,
                                  row[i] == "scan" ? kScanExit : testsupport::Unescape(row[i]));
        }
        expected.emplace_back(0x111, kExit);
        testsupport::LoaderAccess loader;
        for (int load = 0; load < 2; ++load) {
            loader.OverrideDefaultLangID(0x0407);
            testsupport::TraceCapture trace;
            EXPECT_EQ(loader.LoadAllLanguageStringTable(given ? directory.c_str() : nullptr), row[4] == "1");
            Records records; // the load's own records, the failures and the scan's exit, not the file reader's
            for (const auto& record : trace.levelsAndMessages()) {
                if (record.first == 0x1003 || record.second.rfind(kExit, 0) == 0 || record.second == kScanExit) {
                    records.push_back(record);
                }
            }
            EXPECT_EQ(records, expected);
            EXPECT_EQ(loader.GetDefaultLangID(), std::stoi(row[5], nullptr, 0));
            EXPECT_EQ(loader.m_stringTables.size(), std::stoul(row[6]));
        }
        basekit::WideString read(L"untouched");
        EXPECT_EQ(loader.GetDefaultLangIniDirectory(read), row[7] != "-");
        EXPECT_EQ(read.str(),
                  row[7] == "-" ? L"untouched" : basekit::JoinPath(text(row[7]).c_str(), L"EUQ\\res").str());
    }
}

} // namespace
