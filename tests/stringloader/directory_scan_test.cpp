// The directory scan: which entries load under which language, in which order,
// which are skipped with which records, and how a second file of the same
// language merges.
#include <gtest/gtest.h>

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

void WriteTable(const TempDir& dir, const std::string& name, const std::wstring& spamText) {
    testsupport::WriteTextFile(dir.file(name), L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=" + spamText + L"\r\n");
}

// The records the scan itself writes: everything but the file reader's per-string records.
Records ScanRecords(const TraceCapture& trace) {
    Records result;
    for (const auto& record : trace.levelsAndMessages()) {
        if (record.first != 0x102) {
            result.push_back(record);
        }
    }
    return result;
}

std::wstring FileRecord(const std::wstring& path, int languageID) {
    return L"CUtilStringLoader::LoadAllLanguageStringTable, ini path: " + path + L", LANDID: " +
           std::to_wstring(languageID);
}

std::wstring Joined(const std::wstring& directory, const wchar_t* name) {
    return basekit::JoinPath(directory.c_str(), name).str();
}

const std::wstring kScanExit = L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables";
const std::wstring kFileExit = L"CUtilStringLoader::LoadAllLanguageStringTable";

std::wstring ScanEntry(const std::wstring& directory) {
    return L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables, ini path: " + directory;
}

TEST(DirectoryScanTest, LoadsEachFileUnderItsLanguageInSearchOrder) {
    TempDir dir;
    WriteTable(dir, "en.cfg", L"Spam");
    WriteTable(dir, "zh_tw.cfg", L"tw");
    WriteTable(dir, "fr_ca.cfg", L"Pourriel");
    LoaderAccess loader;
    TraceCapture trace;
    loader.EnumLangaugeIDAndLoadStringTables(dir.wpath().c_str());

    const std::wstring d = dir.wpath();
    const Records expected = {
        {0x110, ScanEntry(d)}, {0x110, FileRecord(Joined(d, L"en.cfg"), 9)},
        {0x111, kFileExit},    {0x110, FileRecord(Joined(d, L"fr_ca.cfg"), 0x0c0c)},
        {0x111, kFileExit},    {0x110, FileRecord(Joined(d, L"zh_tw.cfg"), 0x0404)},
        {0x111, kFileExit},    {0x111, kScanExit},
    };
    EXPECT_EQ(ScanRecords(trace), expected);
    EXPECT_EQ(loader.LoadStringW(0x0c0c, kSpam, false).str(), L"Pourriel");
    EXPECT_EQ(loader.LoadStringW(0x0404, kSpam, false).str(), L"tw");
}

TEST(DirectoryScanTest, SkipsNamesThatAreNoLocaleWithBothRecords) {
    TempDir dir;
    WriteTable(dir, "a.cfg", L"x");
    WriteTable(dir, "readme.cfg", L"x");
    LoaderAccess loader;
    TraceCapture trace;
    loader.EnumLangaugeIDAndLoadStringTables(dir.wpath().c_str());
    const Records expected = {
        {0x110, ScanEntry(dir.wpath())},
        {0x1003, L"Locale string size < 2"},
        {0x1003, L"Invalid string table file a.cfg, skip file"},
        {0x1003, L"Can't match any of the primary lang id"},
        {0x1003, L"Invalid string table file readme.cfg, skip file"},
        {0x111, kScanExit},
    };
    EXPECT_EQ(ScanRecords(trace), expected);
    EXPECT_TRUE(loader.m_stringTables.empty());
}

TEST(DirectoryScanTest, NamesConvertByTheirFirstTwoLettersAndMerge) {
    TempDir dir;
    WriteTable(dir, "fred.cfg", L"Pourriel");
    WriteTable(dir, "en.cfg", L""); // empty here, so the next English file fills it
    WriteTable(dir, "en_au.cfg", L"Junk");
    WriteTable(dir, "english.cfg", L"Spam");
    LoaderAccess loader;
    loader.EnumLangaugeIDAndLoadStringTables(dir.wpath().c_str());

    std::vector<int> languages;
    for (const auto& table : loader.m_stringTables) {
        languages.push_back(table.first);
    }
    EXPECT_EQ(languages, (std::vector<int>{9, 0x0c}));
    // Search order: en.cfg, english.cfg, en_au.cfg ('G' sorts before '_'), so
    // english.cfg fills the gap that en.cfg left and en_au.cfg changes nothing.
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), L"Spam");
    EXPECT_EQ(loader.LoadStringW(0x0c, kSpam, false).str(), L"Pourriel");
}

TEST(DirectoryScanTest, SameLanguageTwiceKeepsTheFirstFileInSearchOrder) {
    TempDir dir;
    WriteTable(dir, "zh_tw.cfg", L"underscore");
    WriteTable(dir, "zh-tw.cfg", L"hyphen"); // '-' sorts before '_'
    LoaderAccess loader;
    loader.EnumLangaugeIDAndLoadStringTables(dir.wpath().c_str());
    ASSERT_EQ(loader.m_stringTables.size(), 1u);
    EXPECT_EQ(loader.LoadStringW(0x0404, kSpam, false).str(), L"hyphen");
}

TEST(DirectoryScanTest, DirectoryEntryIsHandledLikeAFile) {
    TempDir dir;
    testsupport::MakeDirectory(dir.file("de.cfg"));
    LoaderAccess loader;
    loader.EnumLangaugeIDAndLoadStringTables(dir.wpath().c_str());
    ASSERT_NE(loader.Table(7), nullptr);
    EXPECT_EQ(loader.LoadStringW(7, kSpam, false).str(), L"Cannot load string:IDS_SPAM_FOLDER_NAME");
}

TEST(DirectoryScanTest, NothingToScanWritesOnlyEntryAndExit) {
    TempDir dir;
    const std::wstring missing = dir.wpath() + L"/nonexistent";
    for (const std::wstring& directory : {dir.wpath(), missing}) {
        LoaderAccess loader;
        TraceCapture trace;
        loader.EnumLangaugeIDAndLoadStringTables(directory.c_str());
        EXPECT_EQ(ScanRecords(trace), (Records{{0x110, ScanEntry(directory)}, {0x111, kScanExit}}));
        EXPECT_TRUE(loader.m_stringTables.empty());
    }
}

TEST(DirectoryScanTest, TrailingSeparatorIsKeptInFilePaths) {
    TempDir dir;
    WriteTable(dir, "en.cfg", L"Spam");
    const std::wstring directory = dir.wpath() + L"\\";
    LoaderAccess loader;
    TraceCapture trace;
    loader.EnumLangaugeIDAndLoadStringTables(directory.c_str());
    const Records records = ScanRecords(trace);
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[1].second, FileRecord(directory + L"en.cfg", 9));
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), L"Spam");
}

} // namespace
