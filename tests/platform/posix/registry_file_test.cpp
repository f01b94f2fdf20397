// The Linux registry stand-in. The format rules are golden files: the .reg
// files in data/registry/ and the table of answers beside them (expected.txt),
// read by one runner through RegistryKey as the loader reads them, the key
// depth and name-length limits included. Then what does not fit in a small
// file: a huge value, files that cannot be read, and the snapshot an open key keeps.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/posix/registry_file.h"
#include "support/golden_table.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using namespace basekit::detail;

constexpr std::uint32_t kRead = KEY_READ | KEY_WOW64_64KEY;
const std::string kSource = __FILE__;
const std::string kDataDir = kSource.substr(0, kSource.rfind('/')) + "/data/registry/";

// What RegistryKey answers for a row (file, path, query, name) in the table's
// terms: "code|text or number"; a failed query must leave its output alone.
std::string Answer(const std::vector<std::string>& row) {
    setenv("VELMORA_REGISTRY", (kDataDir + row[0]).c_str(), 1);
    const std::wstring path = FileNameToWide(row[1]);
    const std::wstring name = row[3] == "@" ? L"" : testsupport::Unescape(row[3]);
    basekit::RegistryKey key;
    const long opened = key.Open(HKEY_LOCAL_MACHINE, row[1] == "-" ? nullptr : path.c_str(), kRead);
    if (row[2] == "open" || opened != 0) {
        return (row[2] == "open" ? "" : "open failed: ") + std::to_string(opened) + "|";
    }
    basekit::WideString text(L"untouched");
    std::uint32_t number = 7;
    const long code = row[2] == "sz" ? key.QueryValue(name.c_str(), text) : key.QueryValue(number, name.c_str());
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", number);
    if (code != 0) {
        return std::to_string(code) + (text.str() == L"untouched" && number == 7 ? "|" : "|output written");
    }
    return "0|" + (row[2] == "sz" ? EncodeUtf8(text.str()) : std::string(hex));
}

TEST(RegistryFileTest, GoldenFilesGiveTheTabledAnswers) {
    setenv("VELMORA_REG_TEST", "/srv/velmora", 1);
    // Another spelling, later in the environment: the exact name wins, then the first match.
    setenv("Velmora_Reg_Test", "/later", 1);
    int rows = 0;
    for (auto [line, fields] : testsupport::ReadTable(kDataDir + "expected.txt")) {
        fields.resize(6); // the text of a failed query is empty
        EXPECT_EQ(Answer(fields), fields[4] + "|" + EncodeUtf8(testsupport::Unescape(fields[5]))) << line;
        ++rows;
    }
    EXPECT_GT(rows, 90); // the table was found and read
    // An environment value that is not UTF-8 keeps its bytes, as a path must.
    setenv("VELMORA_REG_TEST", "/\xFF", 1);
    setenv("VELMORA_REGISTRY", (kDataDir + "values_utf8.reg").c_str(), 1);
    basekit::RegistryKey key;
    basekit::WideString text;
    EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, L"K", kRead) == 0 && key.QueryValue(L"exp", text) == 0);
    EXPECT_EQ(WidePathToNative(text.c_str()), "/\xFF/\xFF%VELMORA_REG% 100%% 5%"); // a prefix of a name is none
    // A null name is the unnamed value.
    EXPECT_TRUE(key.QueryValue(nullptr, text) == 0 && text == basekit::WideString(L"default"));
}

// A hex value continued over 50,000 lines after a million blanks parses in linear time.
TEST(RegistryFileTest, ALongContinuedValueParses) {
    std::string file = "REGEDIT4\n[HKLM\\K]\n\"chain\"=hex:01," + std::string(1000000, ' ') + "\\\n";
    for (int i = 0; i < 50000; ++i) {
        file += "\\\n  00,\\\n";
    }
    RegistryNode root;
    ASSERT_TRUE(ParseRegistryFile(file + "  00\n", &root));
    EXPECT_EQ(FindRegistryKey(root, L"k")->values.at(L"CHAIN").data.size(), 50002u);
}

// Every Open reads the file again (even one rewritten with its old modification
// time), an open key keeps its own snapshot, and paths that are not readable
// regular files fail.
TEST(RegistryFileTest, FilesAreReadAtEveryOpenAndUnusableOnesFail) {
    testsupport::TempDir dir;
    const std::string file = dir.file("r.reg");
    setenv("VELMORA_REGISTRY", file.c_str(), 1);
    const auto write = [&](const char* home) {
        testsupport::WriteBytes(file, std::string("REGEDIT4\n[HKLM\\S]\n\"HomeDir\"=\"") + home + "\"\n");
    };
    const auto open = [] { return basekit::RegistryKey().Open(HKEY_LOCAL_MACHINE, L"S", kRead); };
    basekit::RegistryKey first, second;
    write("/opt/a");
    struct stat before {};
    ASSERT_TRUE(stat(file.c_str(), &before) == 0 && first.Open(HKEY_LOCAL_MACHINE, L"S", KEY_READ) == 0);
    write("/opt/b");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    ASSERT_EQ(second.Open(HKEY_LOCAL_MACHINE, L"S", KEY_READ | KEY_WOW64_32KEY), 0);
    ASSERT_EQ(unlink(file.c_str()), 0);
    basekit::WideString text;
    EXPECT_TRUE(first.QueryValue(L"HomeDir", text) == 0 && text == basekit::WideString(L"/opt/a"));
    EXPECT_TRUE(second.QueryValue(L"HomeDir", text) == 0 && text == basekit::WideString(L"/opt/b"));
    EXPECT_EQ(first.Open(HKEY_LOCAL_MACHINE, L"S", kRead), 2); // no file; the key held before is released
    EXPECT_TRUE(!first.IsOpen() && first.QueryValue(L"HomeDir", text) == 6 && first.Close() == 6);
    write("/opt/c");
    EXPECT_EQ(basekit::RegistryKey().Open(reinterpret_cast<HKEY>(std::uintptr_t{0x80000001}), L"S", kRead), 2);
    EXPECT_EQ(basekit::RegistryKey().Open(nullptr, L"S", kRead), 6);
    testsupport::WriteBytes(file, "REGEDIT4\n[HKLM\\S]\n;" + std::string(15 << 20, '-') + "\n");
    EXPECT_EQ(open(), 0); // under 16 MiB
    ASSERT_EQ(truncate(file.c_str(), 16 << 20), 0);
    EXPECT_EQ(open(), 0); // exactly 16 MiB
    ASSERT_EQ(truncate(file.c_str(), 17 << 20), 0);
    EXPECT_EQ(open(), 1009); // over 16 MiB
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    EXPECT_EQ(open(), geteuid() == 0 ? 1009 : 5); // unreadable, but root reads it anyway
    ASSERT_TRUE(unlink(file.c_str()) == 0 && mkfifo(file.c_str(), 0600) == 0);
    EXPECT_EQ(open(), 5); // opened without blocking
    ASSERT_EQ(unlink(file.c_str()), 0);
    testsupport::MakeDirectory(file);
    EXPECT_EQ(open(), 5);
    setenv("VELMORA_REGISTRY", dir.file("loop.reg").c_str(), 1);
    ASSERT_EQ(symlink(dir.file("loop.reg").c_str(), dir.file("loop.reg").c_str()), 0);
    EXPECT_EQ(open(), 5); // cannot be opened (ELOOP), though not missing
    testsupport::WriteBytes(dir.file("plain"), "");
    setenv("VELMORA_REGISTRY", dir.file("plain/r.reg").c_str(), 1);
    EXPECT_EQ(open(), 2); // a directory on the path is a file (ENOTDIR): no such file
    setenv("VELMORA_REGISTRY", "", 1);
    EXPECT_EQ(RegistryFilePath(), "/etc/velmora/registry.reg");
    unsetenv("VELMORA_REGISTRY");
    EXPECT_EQ(RegistryFilePath(), "/etc/velmora/registry.reg");
}

} // namespace
