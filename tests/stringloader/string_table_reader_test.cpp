// Reading one string-table file into a language's table: placeholders for
// missing keys, nothing for empty values, first text kept on a merge, the
// 1,023-character cut, the swapped IDs of rows 4 and 5, and the trace records.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/loader_access.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

namespace {

using testsupport::Encoding;
using testsupport::LoaderAccess;
using testsupport::TempDir;
using testsupport::TraceCapture;

constexpr int kSpam = 14;
const std::wstring kPlaceholder = L"Cannot load string:";

std::wstring KeyName(int stringID) {
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        if (row.stringID == stringID) {
            return row.keyName;
        }
    }
    return L"";
}

// A complete file: every key holds "<prefix><string ID>".
std::wstring CompleteTable(const std::wstring& prefix) {
    std::wstring text = L"[Strings]\r\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        text += std::wstring(row.keyName) + L"=" + prefix + std::to_wstring(row.stringID) + L"\r\n";
    }
    return text;
}

TEST(StringNameTableTest, HasEveryIdOnceWithRowsFourAndFiveSwapped) {
    ASSERT_EQ(std::size(LoaderAccess::s_IDStringMapping), 24u);
    std::vector<int> seen(24, 0);
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        ASSERT_GE(row.stringID, 0);
        ASSERT_LT(row.stringID, 24);
        ++seen[static_cast<std::size_t>(row.stringID)];
    }
    EXPECT_EQ(seen, std::vector<int>(24, 1));
    EXPECT_STREQ(LoaderAccess::s_IDStringMapping[4].keyName, L"IDS_APPROVE_SENDER_FORM_UI_EXCLUDE_LIST_LABEL");
    EXPECT_EQ(LoaderAccess::s_IDStringMapping[4].stringID, 5);
    EXPECT_STREQ(LoaderAccess::s_IDStringMapping[5].keyName,
                 L"IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL");
    EXPECT_EQ(LoaderAccess::s_IDStringMapping[5].stringID, 4);
    EXPECT_STREQ(LoaderAccess::s_IDStringMapping[8].keyName, L"IDS_APPROVE_SENDER_FORM_UI_APPLY_BITTON");
}

TEST(StringTableReaderTest, UnreadableSourcesGivePlaceholdersForEveryKey) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("other.cfg"), L"[Other]\r\nIDS_SPAM_FOLDER_NAME=x\r\n");
    testsupport::WriteTextFile(dir.file("empty.cfg"), L"");
    const std::pair<const char*, std::wstring> sources[] = {
        {"missing file", dir.wfile("missing.cfg")},
        {"no Strings section", dir.wfile("other.cfg")},
        {"empty file", dir.wfile("empty.cfg")},
    };
    for (const auto& source : sources) {
        LoaderAccess loader;
        loader.LoadStringTableForLanguage(source.second.c_str(), 0x0804);
        const auto* table = loader.Table(0x0804);
        ASSERT_NE(table, nullptr) << source.first;
        ASSERT_EQ(table->size(), 24u) << source.first;
        for (const auto& entry : *table) {
            EXPECT_EQ(entry.second.str(), kPlaceholder + KeyName(entry.first)) << source.first;
        }
    }
}

TEST(StringTableReaderTest, EmptyValuesStoreNothingAndMissingKeysStorePlaceholders) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("zh.cfg"), L"[Strings]\r\n"
                                                   L"IDS_SPAM_FOLDER_NAME=\r\n"
                                                   L"IDS_INBOX_FOLDER_NAME=Inbox\r\n"
                                                   L"IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL=ex\r\n"
                                                   L"IDS_APPROVE_SENDER_FORM_UI_EXCLUDE_LIST_LABEL=excl\r\n"
                                                   L"IDS_NOT_A_KEY=ignored\r\n");
    LoaderAccess loader;
    loader.AddText(4, kSpam, L"neutral");
    loader.LoadStringTableForLanguage(dir.wfile("zh.cfg").c_str(), 0x0804);
    const auto* table = loader.Table(0x0804);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->size(), 23u);
    EXPECT_EQ(table->count(kSpam), 0u);
    EXPECT_EQ(table->at(20).str(), L"Inbox");
    EXPECT_EQ(table->at(4).str(), L"ex");
    EXPECT_EQ(table->at(5).str(), L"excl");
    EXPECT_EQ(table->at(0).str(), kPlaceholder + L"IDS_APPROVE_SENDER_FORM_UI_TITLE");
    // The empty value falls back; the placeholder does not.
    EXPECT_EQ(loader.LoadStringW(0x0804, kSpam, true).str(), L"neutral");
    EXPECT_EQ(loader.LoadStringW(0x0804, 0, true).str(), kPlaceholder + L"IDS_APPROVE_SENDER_FORM_UI_TITLE");
}

TEST(StringTableReaderTest, AllEmptyValuesLeaveAnEmptyLoadedTable) {
    TempDir dir;
    std::wstring text = L"[Strings]\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        text += std::wstring(row.keyName) + L"=\n";
    }
    testsupport::WriteTextFile(dir.file("fr.cfg"), text);
    LoaderAccess loader;
    TraceCapture trace;
    loader.LoadStringTableForLanguage(dir.wfile("fr.cfg").c_str(), 0x0c);
    ASSERT_NE(loader.Table(0x0c), nullptr);
    EXPECT_TRUE(loader.Table(0x0c)->empty());
    EXPECT_EQ(trace.records().size(), 2u); // entry and exit only
}

TEST(StringTableReaderTest, SecondLoadOnlyFillsGaps) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("first.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=\nIDS_INBOX_FOLDER_NAME=One\n");
    testsupport::WriteTextFile(dir.file("second.cfg"), CompleteTable(L"two-"));
    LoaderAccess loader;
    loader.LoadStringTableForLanguage(dir.wfile("first.cfg").c_str(), 9);
    TraceCapture trace;
    loader.LoadStringTableForLanguage(dir.wfile("second.cfg").c_str(), 9);
    const auto* table = loader.Table(9);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(loader.m_stringTables.size(), 1u);
    EXPECT_EQ(table->at(20).str(), L"One");                   // first text kept
    EXPECT_EQ(table->at(kSpam).str(), L"two-14");             // the gap is filled
    EXPECT_EQ(table->at(0).str(), kPlaceholder + KeyName(0)); // placeholder kept
    // The record shows the newly read text even where the table kept the old one.
    bool sawInboxRecord = false;
    for (const auto& record : trace.levelsAndMessages()) {
        sawInboxRecord = sawInboxRecord || (record.first == 0x102 && record.second == L"ID: 20, Str:two-20");
    }
    EXPECT_TRUE(sawInboxRecord);
}

TEST(StringTableReaderTest, LongValuesAreCutTo1023Characters) {
    TempDir dir;
    const std::wstring exact(1023, L'a');
    const std::wstring longer = std::wstring(1023, L'b') + L"cdef";
    testsupport::WriteTextFile(dir.file("en.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=" + exact +
                                                       L"\nIDS_INBOX_FOLDER_NAME=" + longer + L"\n");
    LoaderAccess loader;
    loader.LoadStringTableForLanguage(dir.wfile("en.cfg").c_str(), 9);
    EXPECT_EQ(loader.LoadStringW(9, kSpam, false).str(), exact);
    EXPECT_EQ(loader.LoadStringW(9, 20, false).str(), std::wstring(1023, L'b'));
}

TEST(StringTableReaderTest, TraceRecordsNameTheFileAndEachStringRead) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"),
                               L"[Strings]\r\nIDS_SPAM_FOLDER_NAME=\u5783\u573e\u90f5\u4ef6\r\n"
                               L"IDS_INBOX_FOLDER_NAME=\r\n",
                               Encoding::Utf16LeBom);
    const std::wstring path = dir.wfile("zh_tw.cfg");
    LoaderAccess loader;
    TraceCapture trace;
    loader.LoadStringTableForLanguage(path.c_str(), 0x0404);

    const auto records = trace.records();
    ASSERT_EQ(records.size(), 2u + 23u);
    EXPECT_EQ(records.front().level, 0x110u);
    EXPECT_EQ(records.front().message,
              L"CUtilStringLoader::LoadAllLanguageStringTable, ini path: " + path + L", LANDID: 1028");
    EXPECT_EQ(records.back().level, 0x111u);
    EXPECT_EQ(records.back().message, L"CUtilStringLoader::LoadAllLanguageStringTable");
    for (const auto& record : records) {
        EXPECT_EQ(record.sourceFile, L".\\Util_StringLoader");
    }
    // One record per row read, in table order; the empty inbox row writes none.
    std::vector<std::wstring> expected;
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        if (row.stringID == 20) {
            continue;
        }
        const std::wstring text = row.stringID == kSpam ? L"\u5783\u573e\u90f5\u4ef6" : kPlaceholder + row.keyName;
        expected.push_back(L"ID: " + std::to_wstring(row.stringID) + L", Str:" + text);
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i + 1].level, 0x102u);
        EXPECT_EQ(records[i + 1].message, expected[i]);
    }
}

} // namespace
