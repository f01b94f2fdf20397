// Threads: eight threads each load their own object from one directory while
// another thread keeps replacing one of its files by rename, and call the
// const members of one shared loaded object. Each load must see that file
// whole, old or new, never a mixture; the shared object's answers must not
// change. The tsan preset runs this test under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/loader_access.h"
#include "support/test_files.h"

namespace {

using testsupport::LoaderAccess;

// What the const members answer, in a fixed order.
std::wstring Answers(const CUtilStringLoader& loader) {
    std::wostringstream out;
    for (const int language : {9, 0x0404, 0x0416, 0x0c0c, 0x0407}) {
        for (int id = -1; id <= 24; ++id) {
            const std::wstring text = loader.LoadStringW(language, id, true).str();
            out << text << '|' << loader.GetStringLangID(id, text.c_str()) << loader.GetStringLangIDEx(id, L"fr alt")
                << loader.MatchMostAppropriateLangID(language) << '|';
        }
    }
    return out.str();
}

TEST(ConcurrencyTest, ConstCallsAndParallelLoadsWhileAFileIsReplaced) {
    testsupport::TempDir dir;
    for (const char* locale : {"en", "de", "fr", "ja", "zh_tw"}) {
        testsupport::WriteTextFile(dir.file(std::string(locale) + ".cfg"),
                                   LoaderAccess::TableText(testsupport::Widen(locale) + L" alt;"));
    }
    const std::string moving = dir.file("pt_br.cfg"), temporary = moving + ".tmp";
    const std::wstring texts[] = {LoaderAccess::TableText(L"old"), LoaderAccess::TableText(L"new")};
    LoaderAccess expected[2]; // loaded with the old and with the new pt_br.cfg
    for (int i = 0; i < 2; ++i) {
        testsupport::WriteTextFile(moving, texts[i]);
        expected[i].LoadAllLanguageStringTable(dir.wpath().c_str());
    }
    const std::wstring answers = Answers(expected[1]);
    std::atomic<bool> loading{true};
    std::atomic<int> mismatches{0};
    std::thread writer([&] {
        for (int round = 0; loading; ++round) {
            testsupport::WriteTextFile(temporary, texts[round % 2]);
            std::rename(temporary.c_str(), moving.c_str());
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                LoaderAccess loader;
                loader.LoadAllLanguageStringTable(dir.wpath().c_str());
                const bool whole = loader.m_stringTables == expected[0].m_stringTables ||
                                   loader.m_stringTables == expected[1].m_stringTables;
                mismatches += !whole || Answers(expected[1]) != answers;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    loading = false;
    writer.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
