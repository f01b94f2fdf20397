// basekit::RegistryKey against the registry the platform really has: the
// Windows registry (the Wine prefix's under ctest) on Windows, the .reg file
// stand-in on Linux. The same expectations run on both, so any code the two
// answer differently shows up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "basekit.h"
#include "support/test_registry.h"
#include "win32_api.h"

namespace {

using testsupport::kSettingsKeyPath;
using testsupport::SettingsRegistry;

constexpr std::uint32_t kRead64 = 0x20119; // KEY_READ | KEY_WOW64_64KEY
constexpr std::uint32_t kRead = 0x20019;   // KEY_READ
constexpr long kNotFound = 2;
constexpr long kUnsupportedType = 1630;

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

TEST(RegistryKeyTest, OpensTheSettingsKeyInBothViewsAndOnlyWhenItExists) {
    SettingsRegistry registry;
    basekit::RegistryKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead64), kNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead), kNotFound);

    registry.CreateKey();
    for (const std::uint32_t mask : {kRead64, kRead}) {
        basekit::RegistryKey opened;
        EXPECT_EQ(opened.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, mask), 0) << mask;
        EXPECT_TRUE(opened.IsOpen());
        EXPECT_EQ(opened.Close(), 0);
        EXPECT_FALSE(opened.IsOpen());
    }
    // Key paths are case-insensitive; a trailing separator is ignored.
    basekit::RegistryKey other;
    EXPECT_EQ(other.Open(HKEY_LOCAL_MACHINE, L"software\\CORVENIC\\velmora\\currentversion\\", kRead64), 0);
    // A failed Open may be followed by another on the same object.
    basekit::RegistryKey retried;
    EXPECT_EQ(retried.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvenic\\Velmora\\Missing", kRead64), kNotFound);
    EXPECT_EQ(retried.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead), 0);
}

struct StringCase {
    const char* name;
    void (*store)(SettingsRegistry&);
    long code;
    std::wstring text; // when code is 0
};

TEST(RegistryKeyTest, StringQueryTakesStringsAndExpandsEnvironmentReferences) {
    SetEnvironment("UL_REGISTRY_TEST_ROOT", "D:\\Suite");
    // Expands to far more than it stores: the read must size its buffer by the result.
    const std::string longRoot(600, 'x');
    SetEnvironment("UL_REGISTRY_TEST_LONG", longRoot.c_str());
    const StringCase cases[] = {
        {"plain string", [](SettingsRegistry& r) { r.SetString(L"V", L"C:\\Program Files\\Corvenic\\"); }, 0,
         L"C:\\Program Files\\Corvenic\\"},
        {"empty string", [](SettingsRegistry& r) { r.SetString(L"V", L""); }, 0, L""},
        {"non-ASCII text", [](SettingsRegistry& r) { r.SetString(L"V", L"C:\\\u00dcbung \u5783\u573e"); }, 0,
         L"C:\\\u00dcbung \u5783\u573e"},
        {"expandable string",
         [](SettingsRegistry& r) { r.SetExpandString(L"V", L"%UL_REGISTRY_TEST_ROOT%\\EUQ %UL_NOT_SET_ANYWHERE% 5%"); },
         0, L"D:\\Suite\\EUQ %UL_NOT_SET_ANYWHERE% 5%"},
        {"expansion longer than the stored text",
         [](SettingsRegistry& r) { r.SetExpandString(L"V", L"%UL_REGISTRY_TEST_LONG%\\res"); }, 0,
         std::wstring(600, L'x') + L"\\res"},
        {"value name in another case", [](SettingsRegistry& r) { r.SetString(L"v", L"lower"); }, 0, L"lower"},
        {"32-bit number", [](SettingsRegistry& r) { r.SetDword(L"V", 0x804); }, kUnsupportedType, L""},
        {"64-bit number", [](SettingsRegistry& r) { r.SetQword(L"V", 0x804); }, kUnsupportedType, L""},
        {"binary", [](SettingsRegistry& r) { r.SetBinary(L"V", std::string("\x04\x08\x00\x00", 4)); }, kUnsupportedType,
         L""},
        {"missing value", [](SettingsRegistry& r) { r.SetString(L"Other", L"x"); }, kNotFound, L""},
    };
    for (const StringCase& row : cases) {
        SettingsRegistry registry;
        row.store(registry);
        basekit::RegistryKey key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead64), 0) << row.name;
        basekit::WideString value(L"untouched");
        EXPECT_EQ(key.QueryValue(L"V", value), row.code) << row.name;
        EXPECT_EQ(value.str(), row.code == 0 ? row.text : L"untouched") << row.name;
    }
}

TEST(RegistryKeyTest, NumberQueryTakesOnly32BitNumbers) {
    struct NumberCase {
        const char* name;
        void (*store)(SettingsRegistry&);
        long code;
        std::uint32_t value;
    };
    const NumberCase cases[] = {
        {"32-bit number", [](SettingsRegistry& r) { r.SetDword(L"EUQDefaultLangID", 0x804); }, 0, 0x804},
        {"all bits set", [](SettingsRegistry& r) { r.SetDword(L"EUQDefaultLangID", 0xFFFFFFFF); }, 0, 0xFFFFFFFF},
        {"number as a string", [](SettingsRegistry& r) { r.SetString(L"EUQDefaultLangID", L"2052"); }, kUnsupportedType,
         0},
        {"64-bit number", [](SettingsRegistry& r) { r.SetQword(L"EUQDefaultLangID", 0x804); }, kUnsupportedType, 0},
        {"four binary bytes",
         [](SettingsRegistry& r) { r.SetBinary(L"EUQDefaultLangID", std::string("\x04\x08\x00\x00", 4)); },
         kUnsupportedType, 0},
        {"missing value", [](SettingsRegistry& r) { r.CreateKey(); }, kNotFound, 0},
    };
    for (const NumberCase& row : cases) {
        SettingsRegistry registry;
        row.store(registry);
        basekit::RegistryKey key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead), 0) << row.name;
        std::uint32_t value = 0x1234;
        EXPECT_EQ(key.QueryValue(value, L"EUQDefaultLangID"), row.code) << row.name;
        EXPECT_EQ(value, row.code == 0 ? row.value : 0x1234u) << row.name;
    }
}

TEST(RegistryKeyTest, QueriesOnAClosedKeyFail) {
    basekit::RegistryKey key;
    basekit::WideString text(L"untouched");
    std::uint32_t number = 7;
    EXPECT_NE(key.QueryValue(L"HomeDir", text), 0);
    EXPECT_NE(key.QueryValue(number, L"EUQDefaultLangID"), 0);
    EXPECT_EQ(text.str(), L"untouched");
    EXPECT_EQ(number, 7u);
}

} // namespace
