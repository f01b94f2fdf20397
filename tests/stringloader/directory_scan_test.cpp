// The directory scan: which entries load under which language, in which order,
// which are skipped with which records, and how a second file of the same
// language merges.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/golden_table.h"
#include "support/loader_access.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;
using testsupport::TraceCapture;
using Records = std::vector<std::pair<unsigned, std::wstring>>;

constexpr int kSpam = 14;
const std::wstring kScan = L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables";
const std::wstring kFile = L"CUtilStringLoader::LoadAllLanguageStringTable";

const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";

// Scans `directory` and answers the records of the scan, without the file reader's per-string and exit ones.
Records Scan(LoaderAccess& loader, const std::wstring& directory) {
    TraceCapture trace;
    loader.EnumLangaugeIDAndLoadStringTables(directory.c_str());
    Records result;
    for (const auto& record : trace.levelsAndMessages()) {
        if (record.first != 0x102 && record.second != kFile) {
            result.push_back(record);
        }
    }
    return result;
}

// Entries come in search order; a directory entry is handled like a file; names
// that are no locale are skipped after the converter's record, others convert
// by their first two letters. The directory is given with a trailing
// separator, which the file paths keep as it is. Files of one language merge
// in search order: en.cfg, english.cfg, en_au.cfg ('G' sorts before '_'), and
// zh-tw.cfg before zh_tw.cfg. The entries and records are in data/scan_*.txt.
TEST(DirectoryScanTest, LoadsOrSkipsEachEntryInSearchOrderAndMergesOneLanguage) {
    TempDir dir;
    for (const auto& [line, row] : testsupport::ReadTable(kData + "scan_files.txt")) {
        if (row[0].back() == '/') {
            testsupport::MakeDirectory(dir.file(row[0].substr(0, row[0].size() - 1)));
        } else {
            testsupport::WriteTextFile(dir.file(row[0]),
                                       L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=" + testsupport::Unescape(row[1]));
        }
    }
    const std::wstring d = dir.wpath() + L"\\";
    Records expected;
    for (const auto& [line, row] : testsupport::ReadTable(kData + "scan_records.txt")) {
        std::wstring message = testsupport::Unescape(row[1]);
        if (message.find(L"{d}") != std::wstring::npos) {
            message.replace(message.find(L"{d}"), 3, d);
        }
        expected.emplace_back(std::stoul(row[0], nullptr, 0), message);
    }
    ASSERT_EQ(expected.size(), 13u);
    LoaderAccess loader;
    EXPECT_EQ(Scan(loader, d), expected);
    EXPECT_EQ(loader.m_stringTables.size(), 4u);
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), L"Spam");
    EXPECT_EQ(loader.LoadStringW(0x0c, kSpam, false).str(), L"Pourriel");
    EXPECT_EQ(loader.LoadStringW(0x0404, kSpam, false).str(), L"hyphen");
    // Nothing to scan: only the entry and exit records.
    for (const std::wstring& directory : {dir.wpath() + L"/empty", dir.wpath() + L"/nonexistent"}) {
        testsupport::MakeDirectory(dir.file("empty"));
        LoaderAccess nothing;
        EXPECT_EQ(Scan(nothing, directory), (Records{{0x110, kScan + L", ini path: " + directory}, {0x111, kScan}}));
        EXPECT_TRUE(nothing.m_stringTables.empty());
    }
}

} // namespace
