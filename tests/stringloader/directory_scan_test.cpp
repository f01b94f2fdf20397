// Loading a directory: the scan (which entries load under which language, in
// which order, which are skipped with which records, how a second file of the
// same language merges) and the reader of one file (placeholders for missing
// keys, nothing for empty values, first text kept on a merge, the
// 1,023-character cut, the swapped IDs of rows 4 and 5, the trace records, and
// one read of the file per load).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/golden_table.h"
#include "support/loader_access.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;
using testsupport::TraceCapture;
using Records = std::vector<std::pair<unsigned, std::wstring>>;

constexpr int kSpam = 14;
const std::wstring kScan = L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables";
const std::wstring kFile = L"CUtilStringLoader::LoadAllLanguageStringTable";
const std::wstring kPlaceholder = L"Cannot load string:";

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

TEST(StringTableReaderTest, ReadsTheKnownKeysOfTheSectionAndMergesASecondFile) {
    TempDir dir;
    const std::wstring cut(1023, L'b');
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"),
                               L"[Other]\r\nIDS_SD_PRIMARY_MAILBOX=other\r\n[Strings]\r\nIDS_SPAM_FOLDER_NAME=\r\n"
                               L"IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL=\u5783\u573e\r\n"
                               L"IDS_APPROVE_SENDER_FORM_UI_EXCLUDE_LIST_LABEL=x\r\n"
                               L"IDS_APPROVE_SENDER_FORM_UI_APPLY_BITTON=apply\r\nIDS_NOT_A_KEY=ignored\r\n"
                               L"IDS_INBOX_FOLDER_NAME=" +
                                   cut + L"cdef\r\n",
                               testsupport::Encoding::Utf16LeBom);
    const std::wstring path = dir.wfile("zh_tw.cfg");
    LoaderAccess loader;
    loader.AddText(4, kSpam, L"neutral");
    TraceCapture trace;
    loader.LoadStringTableForLanguage(path.c_str(), 0x0404);

    // One record per row read, in table order (one character is a text too); the empty row stores and writes nothing.
    const std::map<int, std::wstring> read = {{20, cut}, {4, L"\u5783\u573e"}, {5, L"x"}, {8, L"apply"}};
    Records expected = {{0x110, kFile + L", ini path: " + path + L", LANDID: 1028"}};
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        if (row.stringID != kSpam) {
            const auto it = read.find(row.stringID);
            const std::wstring text = it != read.end() ? it->second : kPlaceholder + row.keyName;
            expected.push_back({0x102, L"ID: " + std::to_wstring(row.stringID) + L", Str:" + text});
            EXPECT_EQ(loader.LoadStringW(0x0404, row.stringID, false).str(), text);
        }
    }
    expected.push_back({0x111, kFile});
    EXPECT_EQ(trace.levelsAndMessages(), expected);
    EXPECT_EQ(loader.LoadStringW(0x0404, kSpam, true).str(), L"neutral"); // the empty value falls back

    // A second file for the language only fills the gap, though each text it
    // reads still shows in a record.
    testsupport::WriteTextFile(dir.file("second.cfg"), LoaderAccess::TableText(L"two-"));
    TraceCapture merge;
    loader.LoadStringTableForLanguage(dir.wfile("second.cfg").c_str(), 0x0404);
    const auto records = merge.levelsAndMessages();
    ASSERT_EQ(records.size(), 26u);
    for (std::size_t row = 0; row < 24; ++row) {
        const std::wstring id = std::to_wstring(LoaderAccess::s_IDStringMapping[row].stringID);
        EXPECT_EQ(records[row + 1], (std::pair<unsigned, std::wstring>{0x102, L"ID: " + id + L", Str:two-" + id}));
    }
    EXPECT_EQ(loader.LoadStringW(0x0404, kSpam, false).str(), L"two-14");
    EXPECT_EQ(loader.LoadStringW(0x0404, 0, false).str(), kPlaceholder + L"IDS_APPROVE_SENDER_FORM_UI_TITLE");

    // A file whose every value is empty stores nothing, yet its language is loaded.
    std::wstring blank = L"[Strings]\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        blank += std::wstring(row.keyName) + L"=\n";
    }
    testsupport::WriteTextFile(dir.file("blank.cfg"), blank);
    LoaderAccess empty;
    empty.LoadStringTableForLanguage(dir.wfile("blank.cfg").c_str(), 7);
    EXPECT_TRUE(empty.Table(7) != nullptr && empty.Table(7)->empty());
}

// A sink that rewrites the table at the first string record of a load: that
// load keeps reading the file as it was when it began (on Linux; Windows reads
// each key afresh), and the next load sees the new file whole.
TEST(StringTableReaderTest, EachLoadReadsTheFileAtOneInstant) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("de.cfg"), LoaderAccess::TableText(L"old"));
    struct Rewrite {
        std::string path;
        std::wstring text;
    } rewrite{dir.file("de.cfg"), LoaderAccess::TableText(L"new")};
    tracekit::SetTraceSink(
        [](const tracekit::TraceRecord& record, void* context) {
            auto* pending = static_cast<Rewrite*>(context);
            if (record.level == 0x102 && !pending->path.empty()) {
                testsupport::WriteTextFile(pending->path, pending->text);
                pending->path.clear();
            }
        },
        &rewrite);
    LoaderAccess first, second;
    first.LoadStringTableForLanguage(dir.wfile("de.cfg").c_str(), 7);
    second.LoadStringTableForLanguage(dir.wfile("de.cfg").c_str(), 7);
    tracekit::SetTraceSink(nullptr, nullptr);
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        const std::wstring id = std::to_wstring(row.stringID);
#ifndef _WIN32
        EXPECT_EQ(first.LoadStringW(7, row.stringID, false).str(), L"old" + id);
#endif
        EXPECT_EQ(second.LoadStringW(7, row.stringID, false).str(), L"new" + id);
    }
}

} // namespace
