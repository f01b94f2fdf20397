// The directory scan: which entries load under which language, in which order,
// which are skipped with which records, and how a second file of the same
// language merges.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

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

void WriteTables(const TempDir& dir, std::initializer_list<std::pair<const char*, const wchar_t*>> files) {
    for (const auto& [name, spamText] : files) {
        testsupport::WriteTextFile(dir.file(name), L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=" + std::wstring(spamText));
    }
}

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
// zh-tw.cfg before zh_tw.cfg.
TEST(DirectoryScanTest, LoadsOrSkipsEachEntryInSearchOrderAndMergesOneLanguage) {
    TempDir dir;
    WriteTables(dir, {{"en.cfg", L""},
                      {"en_au.cfg", L"Junk"},
                      {"english.cfg", L"Spam"},
                      {"zh_tw.cfg", L"underscore"},
                      {"zh-tw.cfg", L"hyphen"},
                      {"fred.cfg", L"Pourriel"},
                      {"a.cfg", L"x"},
                      {"readme.cfg", L"x"}});
    testsupport::MakeDirectory(dir.file("de.cfg"));
    const std::wstring d = dir.wpath() + L"\\";
    const auto file = [&d](const wchar_t* name, int id) {
        return Records::value_type{0x110, kFile + L", ini path: " + d + name + L", LANDID: " + std::to_wstring(id)};
    };
    LoaderAccess loader;
    const Records expected = {{0x110, kScan + L", ini path: " + d},
                              {0x1003, L"Locale string size < 2"},
                              {0x1003, L"Invalid string table file a.cfg, skip file"},
                              file(L"de.cfg", 7),
                              file(L"en.cfg", 9),
                              file(L"english.cfg", 9),
                              file(L"en_au.cfg", 9),
                              file(L"fred.cfg", 0x0c),
                              {0x1003, L"Can't match any of the primary lang id"},
                              {0x1003, L"Invalid string table file readme.cfg, skip file"},
                              file(L"zh-tw.cfg", 0x0404),
                              file(L"zh_tw.cfg", 0x0404),
                              {0x111, kScan}};
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
