// Where the Linux profile reader goes its own way: encodings Windows does not
// detect, code-point lengths, file kinds that must not block or crash, the
// parse cache, and parser limits on large inputs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "posix/profile_reader.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using basekit::detail::ClearProfileCacheForTesting;
using basekit::detail::ProfileCacheStatsForTesting;
using basekit::detail::ProfileDocument;
using testsupport::TempDir;
using testsupport::WriteBytes;

std::wstring ReadKey(const std::string& path, const wchar_t* key, DWORD size = 1024, const wchar_t* section = L"S") {
    std::vector<wchar_t> buffer(size + 1, L'#');
    const std::wstring wide = testsupport::Widen(path);
    const DWORD result = GetPrivateProfileStringW(section, key, L"dflt", buffer.data(), size, wide.c_str());
    EXPECT_EQ(result, std::wstring(buffer.data()).size());
    return buffer.data();
}

class ProfileReaderPosixTest : public ::testing::Test {
protected:
    void SetUp() override { ClearProfileCacheForTesting(); }
    TempDir dir;
};

struct BytesCase {
    const char* name;
    std::string bytes;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* expected;
};

TEST_F(ProfileReaderPosixTest, DecodingAndParsingOfRawBytes) {
    using namespace std::string_literals;
    const BytesCase rows[] = {
        {"utf-8 without bom", u8"[S]\nK=Gr\u00FC\u00DFe\n", L"S", L"K", L"Gr\u00FC\u00DFe"},
        {"utf-8 bom before header", "\xEF\xBB\xBF[S]\nK=\xE2\x82\xAC\n", L"S", L"K", L"\u20AC"},
        {"utf-16be bom", "\xFE\xFF\0[\0S\0]\0\n\0K\0=\0v"s, L"S", L"K", L"v"},
        {"cp1252 fallback", "[S]\nK=\xFC\x80\n", L"S", L"K", L"\u00FC\u20AC"},
        {"cp1252 undefined bytes", "[S]\nK=\x81\x8D\x8F\x90\x9D\n", L"S", L"K", L"\u0081\u008D\u008F\u0090\u009D"},
        {"nul ends a value", "[S]\nK=ab\0cd\nJ=x\n"s, L"S", L"K", L"ab"},
        {"nul ends a name", "[S]\nK\0junk=v\n"s, L"S", L"K", L"v"},
        {"line after nul parsed", "[S]\nK=ab\0cd\nJ=x\n"s, L"S", L"J", L"x"},
        {"ascii-only folding matches", u8"[S]\n\u00DCBER=1\n", L"S", L"\u00DCber", L"1"},
        {"ascii-only folding differs", u8"[S]\n\u00DCBER=1\n", L"S", L"\u00FCber", L"dflt"},
        {"section ends at last bracket", "[a]b]\nK=v\n", L"a]b", L"K", L"v"},
        {"doubled closing bracket", "[S]]\nK=v\n", L"S", L"K", L"dflt"},
        {"lookup of unnamed section", "K=v\n[]\nK=w\n", L"", L"K", L"v"},
        {"empty key name", "[S]\n=v\n", L"S", L"", L"dflt"},
    };
    for (const BytesCase& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.file("t.ini"), row.bytes);
        EXPECT_EQ(ReadKey(dir.file("t.ini"), row.key, 1024, row.section), row.expected);
    }
}

TEST_F(ProfileReaderPosixTest, LengthsCountCodePointsAndQuotedFitIsKept) {
    WriteBytes(dir.file("t.ini"), "[S]\nE=\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\nQ=\"hello\"\n");
    EXPECT_EQ(ReadKey(dir.file("t.ini"), L"E", 3), L"\U0001F600\U0001F600");
    EXPECT_EQ(ReadKey(dir.file("t.ini"), L"Q", 6), L"hello");
}

TEST_F(ProfileReaderPosixTest, NullArguments) {
    WriteBytes(dir.file("t.ini"), "[S]\nK=v\n");
    const std::wstring file = dir.wfile("t.ini");
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"d", nullptr, 10, file.c_str()), 0u);
    wchar_t buffer[8];
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"d", buffer, 8, nullptr), 1u);
    EXPECT_EQ(std::wstring(buffer), L"d");
}

TEST_F(ProfileReaderPosixTest, SpecialFilesGiveTheDefaultWithoutBlocking) {
    ASSERT_EQ(mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    ASSERT_EQ(symlink("loop.ini", dir.file("loop.ini").c_str()), 0);
    WriteBytes(dir.file("locked.ini"), "[S]\nK=v\n");
    ASSERT_EQ(chmod(dir.file("locked.ini").c_str(), 0), 0);
    EXPECT_EQ(ReadKey(dir.file("fifo.ini"), L"K"), L"dflt");
    EXPECT_EQ(ReadKey(dir.file("loop.ini"), L"K"), L"dflt");
    if (access(dir.file("locked.ini").c_str(), R_OK) != 0) { // root reads anything
        EXPECT_EQ(ReadKey(dir.file("locked.ini"), L"K"), L"dflt");
    }
}

TEST_F(ProfileReaderPosixTest, BareNamesAreRelativeToTheWorkingDirectoryAndDeviceNamesAreFiles) {
    WriteBytes(dir.file("nul.ini"), "[S]\nK=rel\n");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    wchar_t buffer[8];
    const DWORD result = GetPrivateProfileStringW(L"S", L"K", L"d", buffer, 8, L"nul.ini");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(result, 3u);
    EXPECT_EQ(std::wstring(buffer), L"rel");
}

TEST_F(ProfileReaderPosixTest, ParsesOnceForManyKeys) {
    WriteBytes(dir.file("t.ini"), "[S]\nK=v\n");
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(ReadKey(dir.file("t.ini"), L"K"), L"v");
    }
    EXPECT_EQ(ProfileCacheStatsForTesting().parses, 1u);
}

TEST_F(ProfileReaderPosixTest, SeesSameSizeRewriteWithRestoredModificationTime) {
    const std::string path = dir.file("t.ini");
    WriteBytes(path, "[S]\nK=aaaa\n");
    EXPECT_EQ(ReadKey(path, L"K"), L"aaaa");
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    WriteBytes(path, "[S]\nK=bbbb\n");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(ReadKey(path, L"K"), L"bbbb");

    // A same-size file renamed over the old one is a new inode.
    WriteBytes(dir.file("new.ini"), "[S]\nK=cccc\n");
    ASSERT_EQ(rename(dir.file("new.ini").c_str(), path.c_str()), 0);
    EXPECT_EQ(ReadKey(path, L"K"), L"cccc");

    // A directory replaced under its name leads the same path to another file.
    const std::string sub = dir.file("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    WriteBytes(sub + "/t.ini", "[S]\nK=dddd\n");
    EXPECT_EQ(ReadKey(sub + "/t.ini", L"K"), L"dddd");
    ASSERT_EQ(rename(sub.c_str(), dir.file("old").c_str()), 0);
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    WriteBytes(sub + "/t.ini", "[S]\nK=eeee\n");
    EXPECT_EQ(ReadKey(sub + "/t.ini", L"K"), L"eeee");
}

TEST_F(ProfileReaderPosixTest, CacheIsBoundedButKeepsTheNewestFile) {
    for (int i = 0; i < 12; ++i) {
        const std::string path = dir.file("f" + std::to_string(i) + ".ini");
        WriteBytes(path, "[S]\nK=" + std::to_string(i) + "\n");
        EXPECT_EQ(ReadKey(path, L"K"), std::to_wstring(i));
    }
    EXPECT_EQ(ProfileCacheStatsForTesting().entries, 8u);

    // Far over the byte budget once decoded, yet read twice with one parse.
    WriteBytes(dir.file("big.ini"), "[S]\nK=v\nP=" + std::string(12u << 20, 'p') + "\n");
    const auto parsesBefore = ProfileCacheStatsForTesting().parses;
    EXPECT_EQ(ReadKey(dir.file("big.ini"), L"K"), L"v");
    EXPECT_EQ(ReadKey(dir.file("big.ini"), L"K"), L"v");
    EXPECT_EQ(ProfileCacheStatsForTesting().parses, parsesBefore + 1);
    EXPECT_EQ(ProfileCacheStatsForTesting().entries, 1u);
}

TEST_F(ProfileReaderPosixTest, ConcurrentReadersAgree) {
    for (int i = 0; i < 10; ++i) {
        WriteBytes(dir.file("f" + std::to_string(i) + ".ini"), "[S]\nK=" + std::to_string(i) + "\n");
    }
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const int i = (round + t) % 10;
                const std::wstring file = dir.wfile("f" + std::to_string(i) + ".ini");
                wchar_t buffer[8];
                GetPrivateProfileStringW(L"S", L"K", L"d", buffer, 8, file.c_str());
                failures[t] += std::wstring(buffer) != std::to_wstring(i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// Inputs that make a careless parser quadratic; each must parse in well under a second.
TEST(ProfileDocumentTest, LargeInputsParseInLinearTime) {
    std::string sections;
    for (int i = 0; i < 100000; ++i) {
        sections += "[s" + std::to_string(i) + "]\nK=" + std::to_string(i) + "\n";
    }
    std::string sameName = "[S]\n";
    for (int i = 0; i < 100000; ++i) {
        sameName += "K" + std::to_string(i % 1000) + "=" + std::to_string(i) + "\n";
    }
    for (int i = 0; i < 100000; ++i) {
        sameName += "[s]\nK0=late\n";
    }
    const std::string longLine = "[S]\nK=" + std::string(1 << 20, '[') + "]" + std::string(1 << 20, '=');

    const auto start = std::chrono::steady_clock::now();
    const ProfileDocument many = ProfileDocument::FromBytes(sections);
    const ProfileDocument repeated = ProfileDocument::FromBytes(sameName);
    const ProfileDocument line = ProfileDocument::FromBytes(longLine);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(many.Find(L"S99999", L"k"), std::optional<std::wstring_view>(L"99999"));
    EXPECT_EQ(many.SectionNames().size(), 100000u);
    EXPECT_EQ(repeated.Find(L"S", L"K999"), std::optional<std::wstring_view>(L"999"));
    EXPECT_EQ(repeated.Find(L"S", L"K0"), std::optional<std::wstring_view>(L"0"));
    EXPECT_EQ(repeated.KeyNames(L"S").size(), 100000u); // later [s] sections are never searched
    ASSERT_TRUE(line.Find(L"S", L"K").has_value());
    EXPECT_EQ(line.Find(L"S", L"K")->size(), (2u << 20) + 1);
    EXPECT_LT(line.MemoryBytes(), 8 * longLine.size());
}

} // namespace
