// The file search the directory scan relies on: which entries a "DIR\*.cfg"
// search returns, in which order, and how it fails. Written against the Win32
// names only, so it runs against the real calls on Windows too; the last two tests
// hold what only the Linux search promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using testsupport::TempDir;
using Names = std::vector<std::wstring>;

// The names a search returns, a directory's with "/" appended, and the error
// code it ends with.
std::pair<Names, DWORD> Search(const std::wstring& pattern) {
    Names names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return {names, GetLastError()};
    }
    do {
        names.push_back(data.cFileName + std::wstring((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"/" : L""));
    } while (FindNextFileW(search, &data));
    const DWORD error = GetLastError();
    EXPECT_TRUE(FindClose(search));
    return {names, error};
}

// Names match case-blind and come in upper-case ordinal order: '-' sorts
// before the letters and '_' (0x5F) after them. Separators may be doubled or
// '/', a literal name matches case-blind, '?' is any one character, and
// failures have their codes.
TEST(FileSearchTest, OrderSeparatorsLiteralNamesAndFailures) {
    TempDir dir;
    TempDir empty;
    for (const char* name : {"en.cfg", "EN2.CFG", "de.Cfg", "b.CFG", "zh_CN.cfg", "zh-TW.cfg", "zhA.cfg", "_u.cfg",
                             "1.cfg", ".cfg", "ab.cfg", "a_b.cfg", "aab.cfg", "a.cfg.bak", "a.cf", "acfg", "a"}) {
        testsupport::WriteBytes(dir.file(name), "x");
    }
    testsupport::MakeDirectory(dir.file("x.cfg"));
    const Names all = {L".cfg",   L"1.cfg",   L"aab.cfg", L"ab.cfg",    L"a_b.cfg", L"b.CFG",     L"de.Cfg",
                       L"en.cfg", L"EN2.CFG", L"x.cfg/",  L"zh-TW.cfg", L"zhA.cfg", L"zh_CN.cfg", L"_u.cfg"};
    const std::pair<std::wstring, std::pair<Names, DWORD>> rows[] = {
        {dir.wpath() + L"\\*.cfg", {all, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\\\*.cfg", {all, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"/*.cfg", {all, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\EN.CFG", {{L"en.cfg"}, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\?n.cfg", {{L"en.cfg"}, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\*.ini", {{}, ERROR_FILE_NOT_FOUND}},
        {empty.wpath() + L"\\*.cfg", {{}, ERROR_FILE_NOT_FOUND}},
        {dir.wpath() + L"\\nonexistent\\*.cfg", {{}, ERROR_PATH_NOT_FOUND}},
        {dir.wpath() + L"\\", {{}, ERROR_FILE_NOT_FOUND}},
        {L"", {{}, ERROR_PATH_NOT_FOUND}},
    };
    for (const auto& [pattern, result] : rows) {
        EXPECT_EQ(Search(pattern), result) << testsupport::Narrow(pattern);
    }
}

#ifndef _WIN32
// Long names only (no 8.3 short-name hits), no name holding '\' (no Windows
// name can, and the loader would take it for a separator), names equal but
// for case in case-sensitive order, Cyrillic, Greek and Latin Extended-A folded as
// NTFS folds them (U+00F7 and the final sigma not at all), trailing
// dots in a mask, a directory name too long for the file system (an invalid
// name), a file used as a directory (no such path), names that are not
// UTF-8 kept byte-exact, links
// reported as their targets, "\*" as the root, and handles that are not
// searches (or no place for the find data) refused.
TEST(FileSearchTest, LinuxLongNamesBytesLinksRootAndBadHandles) {
    TempDir dir;
    // \xE9: Latin-1; then U+044F, U+0450, U+00F7 U+0142, U+00FE U+00FF U+03C2 U+0177, and U+03CB U+0430.
    for (const char* name :
         {"a.cfgx", "ja.cfg~", "t.cfg ", "foo.CFG1", "a\\en.cfg", "fr\xE9.cfg", "de.cfg", "DE.cfg", "+", "\xD1\x8F.cfg",
          "\xD1\x90.cfg", "\xC3\xB7\xC5\x82.cfg", "\xC3\xBE\xC3\xBF\xCF\x82\xC5\xB7.cfg", "\xCF\x8B\xD0\xB0.ini"}) {
        testsupport::WriteBytes(dir.file(name), "x");
    }
    testsupport::MakeDirectory(dir.file("sub"));
    ASSERT_EQ(symlink(dir.file("sub").c_str(), dir.file("link.cfg").c_str()), 0);
    ASSERT_EQ(symlink("missing", dir.file("dangling.cfg").c_str()), 0);
    const Names names = Search(dir.wpath() + L"\\*.cfg").first;
    ASSERT_EQ(names, (Names{L"dangling.cfg", L"DE.cfg", L"de.cfg", L"fr\xDCE9.cfg", L"link.cfg/",
                            L"\u00FE\u00FF\u03C2\u0177.cfg", L"\u00F7\u0142.cfg", L"\u0450.cfg",
                            L"\u044F.cfg"}));               // ties: 'D' < 'd'; U+0450 folds to U+0400, before U+042F
    const Names every = Search(dir.wpath() + L"\\*").first; // "." and ".." come first, as Windows lists them
    EXPECT_TRUE(every.size() == 18 && every[0] == L"./" && every[1] == L"../" && every[2] == L"+"); // though '+' < '.'
    // Dots and stars at the end of a mask are ignored once the name is used up, nowhere else.
    EXPECT_EQ(Search(dir.wpath() + L"\\*.cfg.*.").first, names);
    EXPECT_EQ(Search(dir.wpath() + L"\\DE.CFG..").first, (Names{L"DE.cfg", L"de.cfg"}));
    EXPECT_EQ(Search(dir.wpath() + L"\\*.cfg.x"), (std::pair<Names, DWORD>{{}, ERROR_FILE_NOT_FOUND}));
    EXPECT_EQ(Search(dir.wpath() + L"\\*.cf.g").first, Names{});
    // U+0142 folds to U+0141 (odd upper case in U+0139..U+0148); U+00F7 has no case, so U+00D7 is another character.
    EXPECT_EQ(Search(dir.wpath() + L"\\\u00F7\u0141.CFG").first, Names{L"\u00F7\u0142.cfg"});
    EXPECT_EQ(Search(dir.wpath() + L"\\\u00D7*").first, Names{});
    EXPECT_EQ(Search(dir.wpath() + L"\\\u00DE\u0178\u03C2\u0176.CFG").first, Names{L"\u00FE\u00FF\u03C2\u0177.cfg"});
    EXPECT_EQ(Search(dir.wpath() + L"\\*\u03A2*").first, Names{});
    EXPECT_EQ(Search(dir.wpath() + L"\\\u042F.CFG").first, Names{L"\u044F.cfg"}); // the top of U+0430..U+044F
    // The top of Greek U+03B1..U+03CB and the bottom of U+0430..U+044F.
    EXPECT_EQ(Search(dir.wpath() + L"\\\u03AB\u0410.INI").first, Names{L"\u03CB\u0430.ini"});
    EXPECT_EQ(Search(dir.wpath() + L"\\" + std::wstring(256, L'n') + L"\\*.cfg").second, ERROR_INVALID_NAME);
    EXPECT_EQ(Search(dir.wpath() + L"\\de.cfg\\*.cfg").second, ERROR_PATH_NOT_FOUND);      // a file is no directory
    EXPECT_EQ(testsupport::Narrow(dir.wpath() + L"/" + names[3]), dir.file("fr\xE9.cfg")); // the same bytes again
    const Names root = Search(L"\\*").first;
    EXPECT_NE(std::find(root.begin(), root.end(), L"tmp/"), root.end());
    WIN32_FIND_DATAW data;
    EXPECT_TRUE(FindFirstFileW(nullptr, &data) == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(FindFirstFileW(L"*", nullptr) == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(!FindNextFileW(INVALID_HANDLE_VALUE, &data) && GetLastError() == ERROR_INVALID_HANDLE);
    const HANDLE search = FindFirstFileW((dir.wpath() + L"\\*").c_str(), &data);
    EXPECT_TRUE(!FindNextFileW(search, nullptr) && GetLastError() == ERROR_INVALID_HANDLE && FindClose(search));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE) || FindClose(nullptr));
}

// A directory that cannot be read is no missing one. Root reads it anyway, so
// the search runs in a child that has dropped to nobody first.
TEST(FileSearchTest, LinuxUnreadableDirectoryIsAccessDenied) {
    TempDir dir;
    testsupport::MakeDirectory(dir.file("locked"));
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0), 0);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                std::_Exit(2);
            }
            std::_Exit(Search(dir.wpath() + L"\\locked\\*.cfg").second == ERROR_ACCESS_DENIED ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    chmod(dir.file("locked").c_str(), 0700);
}
#endif

} // namespace
