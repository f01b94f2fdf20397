// basekit::basekit::RegistryKey on Linux: the .reg file that VELMORA_REGISTRY names,
// read afresh at every Open; path and value lookups with RegGetValueW's codes;
// and files that cannot be used.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "basekit.h"
#include "platform/posix/registry_file.h"
#include "support/test_registry.h"
#include "win32_api.h"

namespace {

using basekit::WideString;

constexpr const wchar_t* kPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
constexpr std::uint32_t kRead = 0x20119; // KEY_READ | KEY_WOW64_64KEY

class RegistryKeyTest : public ::testing::Test {
protected:
    static long Open(const wchar_t* path = kPath, std::uint32_t access = kRead) {
        return basekit::RegistryKey().Open(HKEY_LOCAL_MACHINE, path, access);
    }

    testsupport::SettingsRegistry m_registry; // writes the file that VELMORA_REGISTRY names while it lives
    const std::string m_file = basekit::detail::RegistryFilePath();
};

TEST_F(RegistryKeyTest, PathsValuesAndFilesAnswerLikeRegOpenKeyExAndRegGetValue) {
    setenv("VELMORA_REG_TEST", "/srv/velmora", 1);
    m_registry.SetHomeDir(L"/opt/velmora").Set(L"Short", 4, std::string("\4\10\0", 3)).SetString(L"", L"default");
    m_registry.Set(L"Inner", 1, std::string("a\0\0\0b\0\0\0", 8)).Set(L"NoNul", 1, std::string("a\0b\0", 4));
    m_registry.SetString(L"E", L"%velmora_reg_test%%VELMORA_REG_TEST%%NO_SUCH_VAR% 100%% 5%", 2);
    // Case and a trailing separator do not matter, nor does KEY_WOW64_32KEY (0x200); a leading separator gives 161.
    EXPECT_EQ(Open(L"software\\CORVENIC\\velmora\\currentVERSION\\"), 0);
    EXPECT_EQ(Open(nullptr), 0);
    EXPECT_EQ(Open(kPath, 0x20219), 0);
    EXPECT_EQ(Open(L"\\SOFTWARE\\Corvenic"), 161);
    EXPECT_EQ(Open(L"SOFTWARE/Corvenic/Velmora/CurrentVersion"), 2);
    EXPECT_EQ(Open(L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion\\Deeper"), 2);
    EXPECT_EQ(Open(L"SOFTWARE\\Corvenic\\Velmor"), 2);
    EXPECT_EQ(basekit::RegistryKey().Open(reinterpret_cast<HKEY>(std::uintptr_t{0x80000001}), kPath, kRead), 2); // HKCU
    EXPECT_EQ(basekit::RegistryKey().Open(nullptr, kPath, kRead), 6);
    basekit::RegistryKey first, second;
    ASSERT_EQ(first.Open(HKEY_LOCAL_MACHINE, kPath, kRead), 0);
    std::vector<std::wstring> answers; // code and text of the string query
    WideString text;
    for (const wchar_t* name : {L"Short", L"Inner", L"NoNul", L"", static_cast<const wchar_t*>(nullptr), L"E"}) {
        text = WideString(L"untouched");
        answers.push_back(std::to_wstring(first.QueryValue(name, text)) + L" " + text.str());
    }
    EXPECT_EQ(answers, (std::vector<std::wstring>{L"1630 untouched", L"0 a", L"0 ab", L"0 default", L"0 default",
                                                  L"0 /srv/velmora/srv/velmora%NO_SUCH_VAR% 100%% 5%"}));
    std::uint32_t number = 7; // a REG_DWORD has exactly four bytes
    EXPECT_TRUE(first.QueryValue(number, L"Short") == 1630 && number == 7u);

    // Every Open reads the file again, open keys keep their snapshot, and files that cannot be used fail.
    struct stat before {};
    ASSERT_EQ(stat(m_file.c_str(), &before), 0);
    ASSERT_EQ(first.Open(HKEY_LOCAL_MACHINE, kPath, kRead), 0); // HomeDir /opt/velmora
    m_registry.SetHomeDir(L"/opt/b");                           // rewritten with the old modification time put back
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, m_file.c_str(), times, 0), 0);
    ASSERT_EQ(second.Open(HKEY_LOCAL_MACHINE, kPath, kRead), 0);
    ASSERT_EQ(unlink(m_file.c_str()), 0);
    EXPECT_TRUE(first.QueryValue(L"HomeDir", text) == 0 && text == WideString(L"/opt/velmora"));
    EXPECT_TRUE(second.QueryValue(L"HomeDir", text) == 0 && text == WideString(L"/opt/b"));
    EXPECT_EQ(first.Open(HKEY_LOCAL_MACHINE, kPath, kRead), 2); // no file; the key held before is released
    EXPECT_TRUE(!first.IsOpen() && first.QueryValue(L"HomeDir", text) == 6 && first.Close() == 6);
    testsupport::MakeDirectory(m_file);
    EXPECT_EQ(Open(), 5);
    ASSERT_TRUE(rmdir(m_file.c_str()) == 0 && mkfifo(m_file.c_str(), 0600) == 0);
    EXPECT_EQ(Open(), 5); // opened without blocking
    ASSERT_EQ(unlink(m_file.c_str()), 0);
    for (const std::string bytes : {"REGEDIT5\r\n", "\xEF\xBB\xBFREGEDIT4\n\"v\"=\"\xE9\"\n", "REGEDIT4\n"}) {
        testsupport::WriteBytes(m_file, bytes);
        EXPECT_EQ(Open(), bytes.size() > 9 ? 1009 : 2) << testing::PrintToString(bytes); // bad header, bad UTF-8
    }
    ASSERT_EQ(truncate(m_file.c_str(), 17 << 20), 0);
    EXPECT_EQ(Open(), 1009); // over 16 MiB
    ASSERT_EQ(chmod(m_file.c_str(), 0), 0);
    EXPECT_EQ(Open(), geteuid() == 0 ? 1009 : 5); // unreadable, but root reads it anyway
    for (const char* value : {"", static_cast<const char*>(nullptr)}) {
        value != nullptr ? setenv("VELMORA_REGISTRY", value, 1) : unsetenv("VELMORA_REGISTRY");
        EXPECT_EQ(basekit::detail::RegistryFilePath(), "/etc/velmora/registry.reg");
    }
}

} // namespace
