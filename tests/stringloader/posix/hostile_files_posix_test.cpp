// Registry files edited by hand into shapes the Linux parser must refuse value
// by value: none of them may cost a loaded string. The hostile string-table
// files are in ../hostile_files_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/loader_access.h"
#include "support/test_files.h"

namespace {

using testsupport::LoaderAccess;

std::string SettingsFile(const std::wstring& values) {
    const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n"
                              L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n" +
                              values + L"\r\n";
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8 & 0xFF)};
    }
    return bytes;
}

TEST(HostileFilesPosixTest, HandEditedRegistryFilesNeverCostLoadedStrings) {
    testsupport::TempDir dir;
    std::string text = "[Strings]\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        text += testsupport::Narrow(row.keyName) + "=Gut " + std::to_string(row.stringID) + "\n";
    }
    testsupport::WriteBytes(dir.file("de.cfg"), text);
    testsupport::MakeDirectory(dir.file("EUQ/res"));
    testsupport::WriteBytes(dir.file("EUQ/res/fr.cfg"), "");
    LoaderAccess good;
    ASSERT_TRUE(good.LoadAllLanguageStringTable(dir.wpath().c_str()));
    good.OverrideDefaultLangID(0x0411);
    const std::wstring home = L"\"HomeDir\"=\"" + dir.wpath() + L"\"\r\n\"EUQDefaultLangID\"=",
                       lang804 = L"\"\r\n\"EUQDefaultLangID\"=dword:804";
    std::string truncatedBom = SettingsFile(home + L"dword:00000804");
    truncatedBom.erase(1, 1); // FF without FE: not UTF-16, so the header line is garbage
    const struct {
        const char* name;
        std::string bytes;
        bool directoryRead;  // LoadAllLanguageStringTable(nullptr) finds the directory
        bool homeIsOurs;     // and it is the one that holds EUQ/res/fr.cfg
        int defaultLanguage; // after the load; 0x0411 is the value before it
    } cases[] = {
        {"a truncated UTF-16 BOM", truncatedBom, false, false, 0x0411},
        {"a UTF-16 file with an odd last byte", SettingsFile(home + L"dword:00000804") + "\x01", true, true, 0x0804},
        {"a dword of nine digits", SettingsFile(home + L"dword:100000804"), true, true, 0x0411},
        {"a dword with a sign", SettingsFile(home + L"dword:-1"), true, true, 0x0411},
        {"a dword of 0x prefix", SettingsFile(home + L"dword:0x804"), true, true, 0x0411},
        {"the largest dword", SettingsFile(home + L"dword:ffffffff"), true, true, -1},
        {"a dword as a quoted string", SettingsFile(home + L"\"2052\""), true, true, 0x0411},
        {"a HomeDir of 10,000 characters", SettingsFile(L"\"HomeDir\"=\"" + std::wstring(10000, L'h') + lang804), true,
         false, 0x0804},
        {"a HomeDir of 10,000 path separators", SettingsFile(L"\"HomeDir\"=\"" + std::wstring(10000, L'/') + lang804),
         true, false, 0x0804},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        testsupport::WriteBytes(dir.file("registry.reg"), hostile.bytes);
        setenv("VELMORA_REGISTRY", dir.file("registry.reg").c_str(), 1); // this process only; nothing runs after

        LoaderAccess loader = good;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(loader.LoadAllLanguageStringTable(nullptr), hostile.directoryRead);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("%s: %.3f s\n", hostile.name, elapsed.count());
        EXPECT_LT(elapsed.count(), 2.0);
        EXPECT_EQ(loader.GetDefaultLangID(), hostile.defaultLanguage);
        EXPECT_EQ(loader.Table(0x0c) != nullptr, hostile.homeIsOurs);
        EXPECT_TRUE(loader.m_stringTables.at(7) == good.m_stringTables.at(7));
    }
}

} // namespace
