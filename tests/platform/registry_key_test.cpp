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

#ifdef _WIN32
#define setenv(name, value, overwrite) _putenv_s(name, value)
#endif

namespace {

using testsupport::kSettingsKeyPath;

constexpr std::uint32_t kRead64 = 0x20119, kRead = 0x20019; // KEY_READ with and without KEY_WOW64_64KEY

TEST(RegistryKeyTest, OpensTheSettingsKeyInBothViewsAndOnlyWhenItExists) {
    testsupport::SettingsRegistry registry;
    basekit::RegistryKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kRead64), 2);
    registry.SetDefaultLangID(9).SetHomeDir(L"C:\\");
    basekit::WideString text(L"untouched");
    std::uint32_t number = 7;
    for (const std::uint32_t mask : {kRead64, kRead}) { // on the object whose Open failed, then closed
        EXPECT_TRUE(!key.IsOpen() && key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, mask) == 0 && key.IsOpen()) << mask;
        EXPECT_EQ(key.Close(), 0);
        // A closed key answers nothing.
        EXPECT_TRUE(key.QueryValue(L"HomeDir", text) != 0 && key.QueryValue(number, L"EUQDefaultLangID") != 0);
    }
    EXPECT_TRUE(text.str() == L"untouched" && number == 7u);
}

// Each row stores one value named "V" and queries "v" in a key opened by a path
// in other case with a trailing separator: both are case-insensitive.
TEST(RegistryKeyTest, StringQueriesTakeStringsExpandedAndNumberQueries32BitNumbers) {
    // Expands to far more than it stores: the read must size its buffer by the result.
    setenv("UL_REGISTRY_TEST", std::string(600, 'x').c_str(), 1);
    const struct {
        std::uint32_t type;          // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, REG_QWORD 11; 0: REG_NONE
        std::wstring text;           // stored: a string, or a number in hex for the other types
        long stringCode, numberCode; // 2 not found, 1630 unsupported type
        std::wstring expanded = L"";
    } cases[] = {
        {1, L"C:\\Program Files\\Corvenic\\", 0, 1630},
        {1, L"", 0, 1630},
        {1, L"C:\\\u00dcbung \u5783\u573e", 0, 1630},
        {2, L"%UL_REGISTRY_TEST%\\EUQ %UL_NOT_SET% 5%", 0, 1630, std::wstring(600, L'x') + L"\\EUQ %UL_NOT_SET% 5%"},
        {4, L"804", 1630, 0},
        {11, L"804", 1630, 1630},
        {3, L"804", 1630, 1630}, // four bytes, as a REG_DWORD holds them
        {0, L"", 2, 2},          // only a value of another name
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.text) + " of type " + std::to_string(row.type));
        testsupport::SettingsRegistry registry;
        row.type <= 2 ? registry.SetString(row.type != 0 ? L"V" : L"other", row.text, row.type)
                      : registry.SetNumber(L"V", std::stoull(row.text, nullptr, 16), row.type);
        basekit::RegistryKey key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"software\\CORVENIC\\velmora\\currentversion\\", kRead64), 0);
        basekit::WideString text(L"untouched");
        std::uint32_t number = 7;
        EXPECT_EQ(key.QueryValue(L"v", text), row.stringCode);
        EXPECT_EQ(text.str(), row.stringCode != 0 ? L"untouched" : row.type == 2 ? row.expanded : row.text);
        EXPECT_EQ(key.QueryValue(number, L"v"), row.numberCode);
        EXPECT_EQ(number, row.numberCode == 0 ? std::stoul(row.text, nullptr, 16) : 7u);
    }
}

} // namespace
