// String-table files that translators or a copy between servers could leave
// behind: NUL bytes, megabyte lines, hundreds of thousands of sections or
// keys. Each case loads a directory holding the bad file as de.cfg (a language
// loaded before from a good file) and as fr.cfg (a new one). Expected: the
// load returns in bounded time, every text of the earlier load is still there
// unchanged, and the new language gets what the file really holds for
// IDS_SPAM_FOLDER_NAME (placeholders where it holds nothing), never more than
// 1,023 characters. Cases whose answer depends on how bytes are decoded live
// in posix/hostile_files_posix_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "support/loader_access.h"
#include "support/test_files.h"

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;

constexpr int kSpam = 14;
constexpr int kGerman = 0x07;
constexpr int kFrench = 0x0c;
constexpr double kMaxSeconds = 10.0; // per load; the slowest case takes well under a second in Release

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::string Numbered(const std::string& before, const std::string& after, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += before + std::to_string(i) + after;
    }
    return out;
}

struct HostileCase {
    const char* name;
    std::string bytes;
    std::wstring spamText; // what fr.cfg gives IDS_SPAM_FOLDER_NAME
};

TEST(HostileFilesTest, BadFilesLoadInBoundedTimeAndKeepEarlierStrings) {
    const std::wstring placeholder = L"Cannot load string:IDS_SPAM_FOLDER_NAME";
    const std::string spamLine = "IDS_SPAM_FOLDER_NAME=found\r\n";
    const HostileCase cases[] = {
        {"64 KiB of NUL bytes", std::string(64 << 10, '\0'), placeholder},
        {"a 1 MiB value on one line", "[Strings]\r\nIDS_SPAM_FOLDER_NAME=" + std::string(1 << 20, 'x'),
         std::wstring(1023, L'x')},
        {"a 1 MiB line without '='", "[Strings]\r\n" + std::string(1 << 20, 'k') + "\r\n" + spamLine, L"found"},
        {"a 1 MiB section header", "[" + std::string(1 << 20, 'S') + "]\r\n[Strings]\r\n" + spamLine, L"found"},
        {"a 1 MiB line of '['", "[Strings]\r\n" + std::string(1 << 20, '[') + "\r\n" + spamLine, L"found"},
        {"100,000 sections before [Strings]", Numbered("[S", "]\r\nk=v\r\n", 100000) + "[Strings]\r\n" + spamLine,
         L"found"},
        {"100,000 repeated [Strings] sections",
         "[Strings]\r\n" + spamLine + Repeat("[STRINGS]\r\nIDS_SPAM_FOLDER_NAME=later\r\n", 100000), L"found"},
        {"100,000 keys before the one asked for", "[Strings]\r\n" + Numbered("IDS_", "=v\r\n", 100000) + spamLine,
         L"found"},
        {"100,000 empty lines and line-end runs", "[Strings]" + Repeat("\r\r\n\n", 100000) + spamLine, L"found"},
    };
    for (const HostileCase& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        TempDir good;
        TempDir bad;
        std::wstring goodText = L"[Strings]\r\n";
        for (const auto& row : LoaderAccess::s_IDStringMapping) {
            goodText += std::wstring(row.keyName) + L"=Gut " + std::to_wstring(row.stringID) + L"\r\n";
        }
        testsupport::WriteTextFile(good.file("de.cfg"), goodText);
        testsupport::WriteBytes(bad.file("de.cfg"), hostile.bytes);
        testsupport::WriteBytes(bad.file("fr.cfg"), hostile.bytes);

        LoaderAccess loader;
        ASSERT_TRUE(loader.LoadAllLanguageStringTable(good.wpath().c_str()));
        const CUtilStringLoader::StringTableMap before = loader.m_stringTables;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(loader.LoadAllLanguageStringTable(bad.wpath().c_str()));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed.count(), kMaxSeconds);
        std::printf("%s: %.3f s\n", hostile.name, elapsed.count());

        EXPECT_TRUE(loader.m_stringTables.at(kGerman) == before.at(kGerman)) << "an earlier text changed";
        ASSERT_NE(loader.Table(kFrench), nullptr);
        EXPECT_EQ(loader.LoadStringW(kFrench, kSpam, false).str(), hostile.spamText);
        for (const auto& entry : *loader.Table(kFrench)) {
            EXPECT_LE(entry.second.length(), 1023u);
        }
    }
}

} // namespace
