// Where the Linux profile reader goes its own way: encodings Windows does not
// detect, code-point lengths, file names, and the parse cache. Files that are
// not regular files, huge files and many threads reach this reader through the
// loader in hostile_files_test and concurrency_test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "posix/profile_reader.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using basekit::detail::ProfileCacheStatsForTesting;
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
    void SetUp() override { basekit::detail::ClearProfileCacheForTesting(); }
    testsupport::TempDir dir;
};

TEST_F(ProfileReaderPosixTest, DecodingAndParsingOfRawBytes) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string bytes;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* expected;
    } rows[] = {
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
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.file("t.ini"), row.bytes);
        EXPECT_EQ(ReadKey(dir.file("t.ini"), row.key, 1024, row.section), row.expected);
    }
}

TEST_F(ProfileReaderPosixTest, LengthsCountCodePointsAndArgumentsMayBeNull) {
    WriteBytes(dir.file("t.ini"), "[S]\nE=\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\nQ=\"hello\"\n");
    EXPECT_EQ(ReadKey(dir.file("t.ini"), L"E", 3), L"\U0001F600\U0001F600");
    EXPECT_EQ(ReadKey(dir.file("t.ini"), L"Q", 6), L"hello"); // a quoted value that fits once unquoted is kept whole
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"Q", L"d", nullptr, 10, dir.wfile("t.ini").c_str()), 0u);
    wchar_t buffer[8];
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"Q", L"d", buffer, 8, nullptr), 1u);
    EXPECT_EQ(std::wstring(buffer), L"d");
}

TEST_F(ProfileReaderPosixTest, BareNamesAreRelativeToTheWorkingDirectoryAndDeviceNamesAreFiles) {
    WriteBytes(dir.file("nul.ini"), "[S]\nK=rel\n");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::wstring text = ReadKey("nul.ini", L"K");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(text, L"rel");
}

TEST_F(ProfileReaderPosixTest, ParsesOnceAndSeesEveryChangeOfTheFileBehindAPath) {
    const std::string path = dir.file("t.ini"), sub = dir.file("sub");
    WriteBytes(path, "[S]\nK=aaaa\n");
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(ReadKey(path, L"K"), L"aaaa");
    }
    EXPECT_EQ(ProfileCacheStatsForTesting().parses, 1u);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    WriteBytes(path, "[S]\nK=bbbb\n"); // the same size, and the modification time put back
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(ReadKey(path, L"K"), L"bbbb");
    WriteBytes(dir.file("new.ini"), "[S]\nK=cccc\n"); // a same-size file renamed over it: a new inode
    ASSERT_EQ(rename(dir.file("new.ini").c_str(), path.c_str()), 0);
    EXPECT_EQ(ReadKey(path, L"K"), L"cccc");
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0); // a directory replaced under its name leads the path to another file
    WriteBytes(sub + "/t.ini", "[S]\nK=dddd\n");
    EXPECT_EQ(ReadKey(sub + "/t.ini", L"K"), L"dddd");
    ASSERT_EQ(rename(sub.c_str(), dir.file("old").c_str()), 0);
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    WriteBytes(sub + "/t.ini", "[S]\nK=eeee\n");
    EXPECT_EQ(ReadKey(sub + "/t.ini", L"K"), L"eeee");
}

TEST_F(ProfileReaderPosixTest, CacheIsBoundedButKeepsTheNewestFile) {
    for (int i = 0; i < 12; ++i) {
        WriteBytes(dir.file("f" + std::to_string(i) + ".ini"), "[S]\nK=" + std::to_string(i) + "\n");
        EXPECT_EQ(ReadKey(dir.file("f" + std::to_string(i) + ".ini"), L"K"), std::to_wstring(i));
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

} // namespace
