// The file search the directory scan relies on: which entries a "DIR\*.cfg"
// search returns, in which order, and how it fails. Written against the Win32
// names only, so it runs against the real calls on Windows too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::TempDir;

// The names a search returns, a directory's with "/" appended, and the error
// code it ends with.
std::pair<std::vector<std::wstring>, DWORD> Search(const std::wstring& pattern) {
    std::vector<std::wstring> names;
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
// before the letters and '_' (0x5F) after them.
TEST(FileSearchTest, MatchesCaseInsensitivelyInUpperCaseOrdinalOrder) {
    TempDir dir;
    for (const char* name : {"en.cfg", "EN2.CFG", "de.Cfg", "b.CFG", "zh_CN.cfg", "zh-TW.cfg", "zhA.cfg", "_u.cfg",
                             "1.cfg", ".cfg", "ab.cfg", "a_b.cfg", "aab.cfg", "a.cfg.bak", "a.cf", "acfg", "a"}) {
        testsupport::WriteBytes(dir.file(name), "x");
    }
    testsupport::MakeDirectory(dir.file("x.cfg"));
    const std::vector<std::wstring> expected = {L".cfg",      L"1.cfg",   L"aab.cfg",   L"ab.cfg",  L"a_b.cfg",
                                                L"b.CFG",     L"de.Cfg",  L"en.cfg",    L"EN2.CFG", L"x.cfg/",
                                                L"zh-TW.cfg", L"zhA.cfg", L"zh_CN.cfg", L"_u.cfg"};
    EXPECT_EQ(Search(dir.wpath() + L"\\*.cfg"), std::make_pair(expected, DWORD{ERROR_NO_MORE_FILES}));
}

TEST(FileSearchTest, SeparatorsLiteralNamesAndFailures) {
    TempDir dir;
    TempDir empty;
    testsupport::WriteBytes(dir.file("en.cfg"), "x");
    const std::vector<std::wstring> en = {L"en.cfg"};
    const std::pair<std::wstring, std::pair<std::vector<std::wstring>, DWORD>> rows[] = {
        {dir.wpath() + L"\\\\*.cfg", {en, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"/*.cfg", {en, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\EN.CFG", {en, ERROR_NO_MORE_FILES}},
        {dir.wpath() + L"\\*.ini", {{}, ERROR_FILE_NOT_FOUND}},
        {empty.wpath() + L"\\*.cfg", {{}, ERROR_FILE_NOT_FOUND}},
        {dir.wpath() + L"\\nonexistent\\*.cfg", {{}, ERROR_PATH_NOT_FOUND}},
        {dir.wpath() + L"\\", {{}, ERROR_FILE_NOT_FOUND}},
    };
    for (const auto& [pattern, result] : rows) {
        EXPECT_EQ(Search(pattern), result) << testsupport::Narrow(pattern);
    }
}

} // namespace
