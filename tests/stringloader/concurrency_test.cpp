// Threads: eight threads each load separate objects through the profile
// reader's process-wide parse cache (more files than it keeps) while another
// thread keeps replacing one of the files with rename, and call every const
// member on one shared loaded object. Every answer must be the one a single thread gets, every text
// the old or the new file's. The tsan preset runs this test under ThreadSanitizer.
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

// "<tag> <id>; <tag> alt" for every key but each skipEvery-th (a placeholder).
std::wstring TableText(const std::wstring& tag, int skipEvery) {
    std::wstring text = L"[Strings]\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        const std::wstring value = tag + L" " + std::to_wstring(row.stringID) + L"; " + tag + L" alt";
        text += row.stringID % skipEvery == 1 ? L"" : std::wstring(row.keyName) + L"=" + value + L"\n";
    }
    return text;
}

// What the const members of the loader and the converter answer, in a fixed order.
std::wstring Answers(const CUtilStringLoader& loader) {
    const CUtilLocaleLCIDConverter converter;
    std::vector<int> languages(16, 0);
    int count = 16;
    std::wostringstream out;
    out << loader.GetLanguages(&languages, &count) << ' ' << count;
    for (const int language : {9, 0x0404, 0x0409, 0x0804, 0x0c0c, 0x0416, 0x0007, 0x0407}) {
        for (int id = -1; id <= 24; ++id) {
            const std::wstring text = loader.LoadStringW(language, id, true).str();
            out << '|' << text << '|' << loader.LoadStringW(language, id, false).str() << '|' << languages[id & 15]
                << ' ' << loader.GetStringLangID(id, text.c_str()) << ' ' << loader.GetStringLangIDEx(id, L"fr alt")
                << ' ' << loader.MatchMostAppropriateLangID(language) << ' ' << converter.LocaleToLangID(text.c_str())
                << converter.LangIDToLocale(static_cast<std::uint32_t>(language)).str();
        }
    }
    return out.str();
}

TEST(ConcurrencyTest, ConstCallsAndParallelLoadsWhileAFileIsReplaced) {
    testsupport::TempDir dir;
    for (const char* locale : {"en", "de", "fr", "es", "it", "ja", "ko", "nl", "pl", "ru", "sv", "zh_tw"}) {
        testsupport::WriteTextFile(dir.file(std::string(locale) + ".cfg"), TableText(testsupport::Widen(locale), 7));
    }
    const std::string moving = dir.file("pt_br.cfg"), temporary = moving + ".tmp";
    const std::wstring texts[] = {TableText(L"old", 2), TableText(L"new", 2)};
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
            for (int round = 0; round < 10; ++round) {
                LoaderAccess loader;
                loader.LoadAllLanguageStringTable(dir.wpath().c_str());
                std::size_t texts = 0; // each read sees one file whole: every text is the old or the new file's
                for (const auto& table : loader.m_stringTables) {
                    for (const auto& [id, text] : table.second) {
                        texts += text.str() == expected[0].LoadStringW(table.first, id, false).str() ||
                                 text.str() == expected[1].LoadStringW(table.first, id, false).str();
                    }
                }
                mismatches += texts != 13 * 24 || Answers(expected[1]) != answers;
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
