// The file search the directory scan relies on: which entries a "DIR\*.cfg"
// search returns, in which order, and how it fails. Written against the Win32
// names only, so it runs against the real calls on Windows too; the last test
// holds what only the Linux search promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "support/golden_table.h"
#include "support/test_files.h"
#include "win32_api.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using testsupport::TempDir;
using Names = std::vector<std::wstring>;
const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/search/";

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

// Names match case-blind and come in the order of data/search/entries.txt.
// Separators may be doubled or '/', a literal name matches case-blind, and
// failures have their codes (data/search/patterns.txt).
TEST(FileSearchTest, OrderSeparatorsLiteralNamesAndFailures) {
    TempDir dir;
    TempDir empty;
    Names all;
    for (const auto& [line, row] : testsupport::ReadTable(kData + "entries.txt")) {
        row[0].back() == '/' ? testsupport::MakeDirectory(dir.file(row[0].substr(0, row[0].size() - 1)))
                             : testsupport::WriteBytes(dir.file(row[0]), "x");
        if (row.size() == 1) {
            all.push_back(testsupport::Widen(row[0]));
        }
    }
    const auto rows = testsupport::ReadTable(kData + "patterns.txt");
    ASSERT_TRUE(all.size() == 14 && rows.size() == 9);
    for (const auto& [line, row] : rows) {
        std::wstring pattern = testsupport::Widen(row[0]);
        for (const auto& [name, path] : {std::pair(L"{dir}", dir.wpath()), std::pair(L"{empty}", empty.wpath())}) {
            if (pattern.find(name) == 0) {
                pattern.replace(0, std::wcslen(name), path);
            }
        }
        const Names names = row[1] == "*" ? all : row[1].empty() ? Names{} : Names{testsupport::Widen(row[1])};
        EXPECT_EQ(Search(pattern), std::pair(names, static_cast<DWORD>(std::stoul(row[2])))) << line;
    }
}

#ifndef _WIN32
// Long names only (no 8.3 short-name hits), names equal but for case in
// case-sensitive order, names that are not UTF-8 kept byte-exact, links
// reported as their targets, "\*" as the root, and handles that are not
// searches refused.
TEST(FileSearchTest, LinuxLongNamesBytesLinksRootAndBadHandles) {
    TempDir dir;
    for (const char* name :
         {"a.cfgx", "ja.cfg~", "t.cfg ", "foo.CFG1", "fr\xE9.cfg", "de.cfg", "DE.cfg"}) { // \xE9: Latin-1
        testsupport::WriteBytes(dir.file(name), "x");
    }
    testsupport::MakeDirectory(dir.file("sub"));
    ASSERT_EQ(symlink(dir.file("sub").c_str(), dir.file("link.cfg").c_str()), 0);
    ASSERT_EQ(symlink("missing", dir.file("dangling.cfg").c_str()), 0);
    const Names names = Search(dir.wpath() + L"\\*.cfg").first;
    ASSERT_EQ(names, (Names{L"dangling.cfg", L"DE.cfg", L"de.cfg", L"fr\xDCE9.cfg", L"link.cfg/"})); // ties: 'D' < 'd'
    EXPECT_EQ(testsupport::Narrow(dir.wpath() + L"/" + names[3]), dir.file("fr\xE9.cfg")); // the same bytes again
    const Names root = Search(L"\\*").first;
    EXPECT_NE(std::find(root.begin(), root.end(), L"tmp/"), root.end());
    WIN32_FIND_DATAW data;
    EXPECT_TRUE(FindFirstFileW(nullptr, &data) == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(!FindNextFileW(INVALID_HANDLE_VALUE, &data) && GetLastError() == ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}
#endif

} // namespace
