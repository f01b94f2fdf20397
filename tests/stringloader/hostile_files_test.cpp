// String-table files that translators or a copy between servers could leave
// behind. Each case loads good German texts, then a directory holding the bad
// file as fr.cfg (a new language) and, unless huge, as de.cfg (loaded before).
// Expected: the load returns in bounded time and memory, the German texts are
// unchanged, and fr gets what the file holds for IDS_SPAM_FOLDER_NAME (the
// placeholder where it holds nothing), never more than 1,023 characters.
// On Linux also: bytes whose decoding is the stand-in's own, files that are not
// regular files (an unreadable one or a symlink loop fails the same open as a dangling link),
// and tables of 100 MB and 15 MB. The decoding and line rules themselves are
// in the profile reader's golden files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "support/loader_access.h"
#include "support/test_files.h"
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using testsupport::LoaderAccess;
using Make = std::function<void(const std::string& path)>;
const std::wstring kPlaceholder = L"Cannot load string:IDS_SPAM_FOLDER_NAME";

std::string Repeat(const std::string& before, const std::string& after, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += before + std::to_string(i) + after;
    }
    return out;
}
Make Bytes(const std::string& bytes) {
    return [bytes](const std::string& path) { testsupport::WriteBytes(path, bytes); };
}
long PeakRssKiB() {
#ifdef _WIN32
    return 0;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}
#ifndef _WIN32
// The keys, then comment lines up to `megabytes`, written as they go (the test's own peak RSS stays low).
Make Huge(std::size_t megabytes) {
    return [megabytes](const std::string& path) {
        std::ofstream out(path, std::ios::binary);
        out << "[Strings]\r\nIDS_SPAM_FOLDER_NAME=found\r\n";
        for (std::size_t written = 0; written < megabytes << 20; written += 64) {
            out << ";" << std::string(61, '-') << "\r\n";
        }
    };
}
Make Link(const std::string& target) {
    return [target](const std::string& path) { ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0); };
}
#endif

TEST(HostileFilesTest, BadFilesLoadInBoundedTimeAndMemoryAndKeepEarlierStrings) {
    const std::string spam = "IDS_SPAM_FOLDER_NAME=found\r\n", mib(1 << 20, 'x'),
                      key = "[Strings]\nIDS_SPAM_FOLDER_NAME=";
    const struct {
        const char* name;
        Make make;
        std::wstring spamText;
        bool alsoGerman = true;
        long maxGrowthKiB = 1L << 30; // growth of the peak RSS: bounded for the huge tables only
    } cases[] = {
#ifndef _WIN32 // first, while the peak RSS is low: a table over 16 MiB is refused unread, one under it read whole
        {"100 MB table", Huge(100), kPlaceholder, false, 16 << 10},
        {"15 MB table", Huge(15), L"found", false, 150 << 10}, // read whole: about five times its size
        {"a UTF-8 BOM then invalid bytes", Bytes("\xEF\xBB\xBF" + key + "a\xFF\n"), L"a\uFFFD"},
        {"a FIFO without a writer", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); },
         kPlaceholder},
        {"a symlink to nowhere", Link("/nonexistent/x"), kPlaceholder},
        {"a directory", testsupport::MakeDirectory, kPlaceholder},
        {"/dev/zero", Link("/dev/zero"), kPlaceholder},
#endif
        {"an empty file", Bytes(""), kPlaceholder},
        {"64 KiB of NUL bytes", Bytes(std::string(64 << 10, '\0')), kPlaceholder},
        {"a 1 MiB value on one line", Bytes("[Strings]\r\nIDS_SPAM_FOLDER_NAME=" + mib), std::wstring(1023, L'x')},
        {"a 1 MiB line without '='", Bytes("[Strings]\r\n" + mib + "\r\n" + spam), L"found"},
        {"a 1 MiB section header", Bytes("[" + mib + "]\r\n[Strings]\r\n" + spam), L"found"},
        {"100,000 sections before [Strings]", Bytes(Repeat("[S", "]\r\nk=v\r\n", 100000) + "[Strings]\r\n" + spam),
         L"found"},
        {"100,000 repeated [Strings] sections",
         Bytes("[Strings]\r\n" + spam + Repeat("[STRINGS]\r\nIDS_SPAM_FOLDER_NAME=later", "\r\n", 100000)), L"found"},
        {"100,000 keys before the one asked for", Bytes("[Strings]\r\n" + Repeat("IDS_", "=v\r\n", 100000) + spam),
         L"found"},
    };
    testsupport::TempDir good;
    testsupport::WriteTextFile(good.file("de.cfg"), LoaderAccess::TableText(L"Gut "));
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        testsupport::TempDir bad;
        hostile.make(bad.file("fr.cfg"));
        if (hostile.alsoGerman) {
            hostile.make(bad.file("de.cfg"));
        }
        LoaderAccess loader;
        ASSERT_TRUE(loader.LoadAllLanguageStringTable(good.wpath().c_str()));
        const auto german = loader.m_stringTables.at(7);
        const long peakBefore = PeakRssKiB();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(loader.LoadAllLanguageStringTable(bad.wpath().c_str()));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const long growthKiB = PeakRssKiB() - peakBefore;
        std::printf("%s: %.3f s, peak RSS %ld KiB, %ld KiB more than before the load\n", hostile.name, elapsed.count(),
                    PeakRssKiB(), growthKiB);
        EXPECT_LT(elapsed.count(), 10.0);           // the slowest case takes well under a second in Release
        EXPECT_LT(growthKiB, hostile.maxGrowthKiB); // with room for the sanitizers' own overhead
        EXPECT_TRUE(loader.m_stringTables.at(7) == german) << "an earlier text changed";
        ASSERT_NE(loader.Table(0x0c), nullptr);
        EXPECT_EQ(loader.Table(0x0c)->size(), 24u);
        EXPECT_EQ(loader.LoadStringW(0x0c, 14, false).str(), hostile.spamText);
    }
}

} // namespace
