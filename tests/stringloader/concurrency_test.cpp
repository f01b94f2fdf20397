// Threads: eight threads each load their own object from one directory and
// call the const members of one shared loaded object. Every load must equal
// the single-threaded one, and the shared object's answers must not change.
// The tsan preset runs this test under ThreadSanitizer; in the default run it
// takes a few milliseconds. (That a load reads each file at one instant is
// directory_scan_test's, deterministically.)
#include <gtest/gtest.h>

#include <atomic>
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

TEST(ConcurrencyTest, ParallelLoadsAndConstCallsOnASharedObject) {
    testsupport::TempDir dir;
    for (const char* locale : {"en", "de", "fr", "ja", "zh_tw", "pt_br"}) {
        testsupport::WriteTextFile(dir.file(std::string(locale) + ".cfg"),
                                   LoaderAccess::TableText(testsupport::Widen(locale) + L" alt;", true));
    }
    LoaderAccess shared;
    shared.LoadAllLanguageStringTable(dir.wpath().c_str());
    const std::wstring answers = Answers(shared);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 10; ++round) {
                LoaderAccess loader;
                loader.LoadAllLanguageStringTable(dir.wpath().c_str());
                mismatches += loader.m_stringTables != shared.m_stringTables || Answers(shared) != answers;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
