// basekit::RegistryKey on Linux: the .reg file that VELMORA_REGISTRY names,
// read afresh at every Open; path and value lookups with RegGetValueW's codes;
// files that cannot be used; and the test seam in Open.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "basekit.h"
#include "platform/common/registry_open_hook.h"
#include "platform/posix/registry_file.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using basekit::RegistryKey;
using basekit::WideString;
using testsupport::Encoding;

constexpr const wchar_t* kSettingsPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
constexpr std::uint32_t kRead64 = 0x20119; // KEY_READ | KEY_WOW64_64KEY

// The settings key as someone writes it by hand on Linux.
const std::wstring kSettingsFile = L"Windows Registry Editor Version 5.00\n\n"
                                   L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\n"
                                   L"\"HomeDir\"=\"/opt/velmora\"\n"
                                   L"\"EUQDefaultLangID\"=dword:00000804\n";

// hex(2) data for `text`: UTF-16LE bytes with the terminating NUL.
std::wstring ExpandSzHex(const std::wstring& text) {
    std::wstring hex = L"hex(2):";
    static const wchar_t kDigits[] = L"0123456789abcdef";
    for (const wchar_t c : text + L'\0') {
        for (const unsigned byte : {static_cast<unsigned>(c) & 0xFFu, static_cast<unsigned>(c) >> 8}) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 0xF];
            hex += L',';
        }
    }
    hex.pop_back();
    return hex;
}

// Sets or unsets an environment variable for one test and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_saved = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_saved) {
            setenv(m_name.c_str(), m_saved->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

class RegistryKeyTest : public ::testing::Test {
protected:
    ~RegistryKeyTest() override { basekit::detail::SetRegistryOpenHook(nullptr); }

    void Write(const std::wstring& text, Encoding encoding = Encoding::Utf8) {
        testsupport::WriteTextFile(m_file, text, encoding);
    }

    testsupport::TempDir m_dir;
    std::string m_file = m_dir.file("registry.reg");
    ScopedEnv m_env{"VELMORA_REGISTRY", m_file.c_str()};
};

long OpenSettings() {
    return RegistryKey().Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64);
}

TEST_F(RegistryKeyTest, OpenPathsMatchLikeRegOpenKeyEx) {
    Write(kSettingsFile);
    const struct {
        const wchar_t* path;
        std::uint32_t access;
        long expected;
    } cases[] = {
        {kSettingsPath, kRead64, 0},
        {kSettingsPath, 0x20019, 0},
        {kSettingsPath, 0x20219, 0}, // KEY_WOW64_32KEY
        {L"software\\CORVENIC\\velmora\\currentVERSION", kRead64, 0},
        {L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion\\", kRead64, 0},
        {L"SOFTWARE\\\\Corvenic\\Velmora\\CurrentVersion", kRead64, 0},
        {L"SOFTWARE\\Corvenic", kRead64, 0}, // an intermediate key exists
        {L"", kRead64, 0},
        {nullptr, kRead64, 0},
        {L"\\SOFTWARE\\Corvenic", kRead64, 161},
        {L"SOFTWARE/Corvenic/Velmora/CurrentVersion", kRead64, 2},
        {L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion\\Deeper", kRead64, 2},
        {L"SOFTWARE\\Corvenic\\Velmor", kRead64, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path != nullptr ? c.path : L"(null)"));
        RegistryKey key;
        EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, c.path, c.access), c.expected);
        EXPECT_EQ(key.IsOpen(), c.expected == 0);
    }
    const auto currentUser = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
    EXPECT_EQ(RegistryKey().Open(currentUser, kSettingsPath, kRead64), 2);
    EXPECT_EQ(RegistryKey().Open(nullptr, kSettingsPath, kRead64), 6);
}

TEST_F(RegistryKeyTest, QueriesAnswerByTypeLikeRegGetValue) {
    const ScopedEnv variable("VELMORA_REG_TEST", "/srv/velmora");
    const ScopedEnv unset("VELMORA_REG_UNSET", nullptr);
    const struct {
        const wchar_t* name;
        std::wstring line; // the value's line in the file, if the row adds one
        long stringCode;
        const wchar_t* text;
        long dwordCode;
    } cases[] = {
        {L"HomeDir", L"", 0, L"/opt/velmora", 1630},
        {L"HOMEDIR", L"", 0, L"/opt/velmora", 1630},
        {L"EUQDefaultLangID", L"", 1630, L"", 0},
        {L"Binary4", L"hex:04,08,00,00", 1630, L"", 1630},
        {L"Short", L"hex(4):04,08,00", 1630, L"", 1630},
        {L"Quad", L"hex(b):04,08,00,00,00,00,00,00", 1630, L"", 1630},
        {L"Inner", L"hex(1):61,00,00,00,62,00,00,00", 0, L"a", 1630},
        {L"NoNul", L"hex(1):61,00,62,00", 0, L"ab", 1630},
        {L"Missing", L"", 2, L"", 2},
        {L"", L"\"default\"", 0, L"default", 1630},
        {nullptr, L"", 0, L"default", 1630},
        // REG_EXPAND_SZ comes back expanded with the process environment.
        {L"E1", ExpandSzHex(L"%VELMORA_REG_TEST%\\EUQ"), 0, L"/srv/velmora\\EUQ", 1630},
        {L"E2", ExpandSzHex(L"%velmora_reg_test%"), 0, L"/srv/velmora", 1630}, // names are case-insensitive
        {L"E3", ExpandSzHex(L"%VELMORA_REG_TEST%%VELMORA_REG_TEST%"), 0, L"/srv/velmora/srv/velmora", 1630},
        {L"E4", ExpandSzHex(L"%VELMORA_REG_UNSET%/x"), 0, L"%VELMORA_REG_UNSET%/x", 1630},
        {L"E5", ExpandSzHex(L"100%% sure"), 0, L"100%% sure", 1630},
        {L"E6", ExpandSzHex(L"50% off"), 0, L"50% off", 1630},
    };
    std::wstring file = kSettingsFile;
    for (const auto& c : cases) {
        if (!c.line.empty()) {
            file += (*c.name != L'\0' ? L"\"" + std::wstring(c.name) + L"\"=" : L"@=") + c.line + L"\n";
        }
    }
    Write(file);
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name != nullptr ? c.name : L"(null)"));
        WideString text(L"untouched");
        std::uint32_t number = 7;
        EXPECT_EQ(key.QueryValue(c.name, text), c.stringCode);
        EXPECT_EQ(text, WideString(c.stringCode == 0 ? c.text : L"untouched"));
        EXPECT_EQ(key.QueryValue(number, c.name), c.dwordCode);
        EXPECT_EQ(number, c.dwordCode == 0 ? 0x804u : 7u);
    }
}

TEST_F(RegistryKeyTest, ClosedKeysAnswerInvalidHandleAndAnotherOpenReleasesTheKey) {
    Write(kSettingsFile);
    RegistryKey key;
    WideString text;
    std::uint32_t number = 0;
    EXPECT_EQ(key.QueryValue(L"HomeDir", text), 6);
    EXPECT_EQ(key.QueryValue(number, L"EUQDefaultLangID"), 6);
    EXPECT_EQ(key.Close(), 6);

    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 0);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvenic", kRead64), 0);
    EXPECT_EQ(key.QueryValue(L"HomeDir", text), 2); // the second key's values, not the first's
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Missing", kRead64), 2);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.QueryValue(L"HomeDir", text), 6);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 0);
    EXPECT_EQ(key.Close(), 0);
    EXPECT_EQ(key.Close(), 6);
}

TEST_F(RegistryKeyTest, EveryOpenReadsTheFileAgainWhileOpenKeysKeepTheirSnapshot) {
    Write(kSettingsFile);
    struct stat before {};
    ASSERT_EQ(stat(m_file.c_str(), &before), 0);
    RegistryKey first;
    ASSERT_EQ(first.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 0);

    // Rewritten the way reg export writes, with the old modification time put back.
    std::wstring changed = kSettingsFile;
    changed.replace(changed.find(L"/opt/velmora"), 12, L"/opt/velmorb");
    Write(changed, Encoding::Utf16LeBom);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, m_file.c_str(), times, 0), 0);

    RegistryKey second;
    ASSERT_EQ(second.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 0);
    WideString text;
    EXPECT_EQ(second.QueryValue(L"HomeDir", text), 0);
    EXPECT_EQ(text, WideString(L"/opt/velmorb"));
    EXPECT_EQ(first.QueryValue(L"HomeDir", text), 0);
    EXPECT_EQ(text, WideString(L"/opt/velmora"));

    ASSERT_EQ(unlink(m_file.c_str()), 0);
    EXPECT_EQ(second.QueryValue(L"HomeDir", text), 0);
    EXPECT_EQ(OpenSettings(), 2);
}

TEST_F(RegistryKeyTest, TheFileComesFromVelmoraRegistryOrTheDefaultPath) {
    EXPECT_EQ(basekit::detail::RegistryFilePath(), m_file);
    for (const char* value : {"", static_cast<const char*>(nullptr)}) {
        const ScopedEnv variable("VELMORA_REGISTRY", value);
        EXPECT_EQ(basekit::detail::RegistryFilePath(), "/etc/velmora/registry.reg");
    }
    Write(kSettingsFile);
    const ScopedEnv elsewhere("VELMORA_REGISTRY", m_dir.file("other.reg").c_str());
    EXPECT_EQ(OpenSettings(), 2);
}

TEST_F(RegistryKeyTest, FilesThatCannotBeUsedFailWithDistinctCodes) {
    EXPECT_EQ(OpenSettings(), 2);
    {
        const ScopedEnv missingDirectory("VELMORA_REGISTRY", m_dir.file("no/registry.reg").c_str());
        EXPECT_EQ(OpenSettings(), 2);
    }
    testsupport::MakeDirectory(m_file);
    EXPECT_EQ(OpenSettings(), 5);
    ASSERT_EQ(rmdir(m_file.c_str()), 0);
    ASSERT_EQ(mkfifo(m_file.c_str(), 0600), 0);
    EXPECT_EQ(OpenSettings(), 5); // and it must not block
    ASSERT_EQ(unlink(m_file.c_str()), 0);

    for (const std::string bytes : {"", "REGEDIT5\r\n", "\xEF\xBB\xBFREGEDIT4\n\"v\"=\"\xE9\"\n"}) {
        testsupport::WriteBytes(m_file, bytes);
        EXPECT_EQ(OpenSettings(), 1009) << testing::PrintToString(bytes);
    }
    Write(kSettingsFile);
    ASSERT_EQ(truncate(m_file.c_str(), 17 << 20), 0); // larger than we accept
    EXPECT_EQ(OpenSettings(), 1009);
    if (geteuid() != 0) { // root reads the file anyway
        Write(kSettingsFile);
        ASSERT_EQ(chmod(m_file.c_str(), 0), 0);
        EXPECT_EQ(OpenSettings(), 5);
    }
}

long g_hookCalls = 0;
std::wstring g_hookPath;

TEST_F(RegistryKeyTest, TheOpenHookRunsFirstAndItsFailureIsOpensAnswer) {
    Write(kSettingsFile);
    basekit::detail::SetRegistryOpenHook([](const wchar_t* path, std::uint32_t access) -> long {
        ++g_hookCalls;
        g_hookPath = path != nullptr ? path : L"(null)";
        return (access & KEY_WOW64_64KEY) != 0 ? 5 : 0;
    });
    RegistryKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsPath, kRead64), 5);
    EXPECT_EQ(g_hookPath, kSettingsPath);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsPath, 0x20019), 0);
    EXPECT_EQ(g_hookCalls, 2);

    // The hook answers before the path or the file is looked at.
    ASSERT_EQ(unlink(m_file.c_str()), 0);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"\\bad", kRead64), 5);
}

} // namespace
