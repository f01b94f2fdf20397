// Threads: const calls on one loaded object from eight threads at once, and
// loads of separate objects from several threads, which share the profile
// reader's process-wide parse cache (more files than it holds, one of them
// rewritten while the loads run). Every answer is checked against the one the
// same call gives on a single thread. The tsan preset runs this test under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/loader_access.h"
#include "support/test_files.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;

constexpr int kThreads = 8;

std::wstring TableText(const std::wstring& tag, int skipEvery) {
    std::wstring text = L"[Strings]\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        if (row.stringID % skipEvery != 1) {
            text +=
                std::wstring(row.keyName) + L"=" + tag + L" " + std::to_wstring(row.stringID) + L"; " + tag + L" alt\n";
        }
    }
    return text;
}

template <typename Body> void RunThreads(int count, Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) {
        threads.emplace_back(body, t);
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

// Everything the const members answer for one object, in a fixed order.
std::vector<std::wstring> Answers(const CUtilStringLoader& loader, const CUtilLocaleLCIDConverter& converter) {
    std::vector<std::wstring> answers;
    const int languages[] = {0, 4, 9, 0x0404, 0x0409, 0x0804, 0x0407, 7, 0x0c0c};
    for (const int language : languages) {
        for (int id = -1; id <= 24; ++id) {
            answers.push_back(loader.LoadStringW(language, id, true).str());
            answers.push_back(loader.LoadStringW(language, id, false).str());
        }
        answers.push_back(std::to_wstring(loader.MatchMostAppropriateLangID(language)));
        answers.push_back(converter.LangIDToLocale(static_cast<std::uint32_t>(language)).str());
    }
    std::vector<int> ids(16, 0);
    int count = 16;
    answers.push_back(std::to_wstring(loader.GetLanguages(&ids, &count)) + L"/" + std::to_wstring(count));
    for (const int id : ids) {
        answers.push_back(std::to_wstring(id));
    }
    for (const wchar_t* text : {L"zh_tw 14; zh_tw alt", L"zh_tw alt", L"en 3", L"nothing", L""}) {
        for (int id = 0; id < 24; id += 5) {
            answers.push_back(std::to_wstring(loader.GetStringLangID(id, text)));
            answers.push_back(std::to_wstring(loader.GetStringLangIDEx(id, text)));
        }
    }
    for (const wchar_t* locale : {L"zh_tw", L"EN-us", L"pt_br", L"x", L"qq", L"fr_ca"}) {
        answers.push_back(std::to_wstring(converter.LocaleToLangID(locale)));
    }
    return answers;
}

TEST(ConcurrencyTest, ConstCallsOnOneLoadedObjectFromEightThreads) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("en.cfg"), TableText(L"en", 4));
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"), TableText(L"zh_tw", 3));
    testsupport::WriteTextFile(dir.file("zh.cfg"), TableText(L"zh", 5));
    testsupport::WriteTextFile(dir.file("de_de.cfg"), TableText(L"de", 6));
    CUtilStringLoader loader;
    loader.LoadAllLanguageStringTable(dir.wpath().c_str());
    const CUtilLocaleLCIDConverter converter;

    const std::vector<std::wstring> expected = Answers(loader, converter);
    ASSERT_EQ(loader.LoadStringW(0x0404, 14, true).str(), L"zh_tw 14; zh_tw alt");
    ASSERT_EQ(loader.GetStringLangIDEx(14, L"zh_tw alt"), 0x0404);

    std::atomic<int> mismatches{0};
    RunThreads(kThreads, [&](int) {
        for (int round = 0; round < 20; ++round) {
            if (Answers(loader, converter) != expected) {
                ++mismatches;
            }
        }
    });
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(ConcurrencyTest, SeparateObjectsLoadInParallelThroughTheSharedParseCache) {
    // Twelve languages: more files than the cache keeps, so threads evict
    // each other's documents while others still read them.
    const char* const locales[] = {"en", "de", "fr", "es", "it", "ja", "ko", "nl", "pl", "ru", "sv", "zh_tw"};
    TempDir dir;
    for (const char* locale : locales) {
        const std::wstring tag = testsupport::Widen(locale);
        testsupport::WriteTextFile(dir.file(std::string(locale) + ".cfg"), TableText(tag, 7));
    }
    // Written while the loads run: each read sees the old or the new file whole.
    const std::string moving = dir.file("pt_br.cfg");
    const std::wstring oldText = TableText(L"old", 2);
    const std::wstring newText = TableText(L"new", 2);
    testsupport::WriteTextFile(moving, oldText);

    CUtilStringLoader reference;
    reference.LoadAllLanguageStringTable(dir.wpath().c_str());
    const CUtilLocaleLCIDConverter converter;
    std::vector<std::wstring> expected;
    for (const char* locale : locales) {
        const auto language = static_cast<int>(converter.LocaleToLangID(testsupport::Widen(locale).c_str()));
        for (int id = 0; id < 24; ++id) {
            expected.push_back(reference.LoadStringW(language, id, false).str());
        }
    }

    std::atomic<bool> loading{true};
    std::atomic<int> mismatches{0};
    std::thread writer([&] {
        for (int round = 0; loading.load(); ++round) {
            const std::string temporary = moving + ".tmp";
            testsupport::WriteTextFile(temporary, round % 2 == 0 ? newText : oldText);
            std::rename(temporary.c_str(), moving.c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    RunThreads(4, [&](int) {
        for (int round = 0; round < 15; ++round) {
            CUtilStringLoader loader;
            loader.LoadAllLanguageStringTable(dir.wpath().c_str());
            std::size_t index = 0;
            for (const char* locale : locales) {
                const auto language = static_cast<int>(converter.LocaleToLangID(testsupport::Widen(locale).c_str()));
                for (int id = 0; id < 24; ++id) {
                    if (loader.LoadStringW(language, id, false).str() != expected[index++]) {
                        ++mismatches;
                    }
                }
            }
            for (const auto& row : LoaderAccess::s_IDStringMapping) {
                const std::wstring text = loader.LoadStringW(0x0416, row.stringID, false).str();
                const std::wstring suffix = L" " + std::to_wstring(row.stringID) + L"; ";
                const bool ok = row.stringID % 2 == 1
                                    ? text == std::wstring(L"Cannot load string:") + row.keyName
                                    : text == L"old" + suffix + L"old alt" || text == L"new" + suffix + L"new alt";
                if (!ok) {
                    ++mismatches;
                }
            }
        }
    });
    loading = false;
    writer.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
