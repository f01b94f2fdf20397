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

struct SearchResult {
    bool opened = false;
    DWORD error = 0;
    std::vector<std::wstring> names;
};

SearchResult Search(const std::wstring& pattern) {
    SearchResult result;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        result.error = GetLastError();
        return result;
    }
    result.opened = true;
    do {
        result.names.emplace_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    result.error = GetLastError();
    EXPECT_TRUE(FindClose(search));
    return result;
}

void Touch(const TempDir& dir, const std::string& name) {
    testsupport::WriteBytes(dir.file(name), "x");
}

TEST(FileSearchTest, MatchesCaseInsensitivelyInUpperCaseOrdinalOrder) {
    TempDir dir;
    for (const char* name : {"en.cfg", "EN2.CFG", "de.Cfg", "b.CFG", "zh_CN.cfg", "zh-TW.cfg", "zhA.cfg", "_u.cfg",
                             "1.cfg", ".cfg", "ab.cfg", "a_b.cfg", "aab.cfg", "a.cfg.bak", "a.cf", "acfg", "a"}) {
        Touch(dir, name);
    }
    testsupport::MakeDirectory(dir.file("x.cfg"));

    const SearchResult result = Search(dir.wpath() + L"\\*.cfg");
    ASSERT_TRUE(result.opened);
    // '_' (0x5F) sorts after the letters and '-' before them; a directory is listed like a file.
    const std::vector<std::wstring> expected = {L".cfg",      L"1.cfg",   L"aab.cfg",   L"ab.cfg",  L"a_b.cfg",
                                                L"b.CFG",     L"de.Cfg",  L"en.cfg",    L"EN2.CFG", L"x.cfg",
                                                L"zh-TW.cfg", L"zhA.cfg", L"zh_CN.cfg", L"_u.cfg"};
    EXPECT_EQ(result.names, expected);
    EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST(FileSearchTest, ReportsDirectoriesAsDirectories) {
    TempDir dir;
    testsupport::MakeDirectory(dir.file("sub.cfg"));
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((dir.wpath() + L"\\*.cfg").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(search);
}

TEST(FileSearchTest, SeparatorsAndLiteralNames) {
    TempDir dir;
    Touch(dir, "en.cfg");
    struct Row {
        const char* name;
        std::wstring pattern;
        std::vector<std::wstring> names;
    };
    const Row rows[] = {
        {"doubled backslash", dir.wpath() + L"\\\\*.cfg", {L"en.cfg"}},
        {"forward slash", dir.wpath() + L"/*.cfg", {L"en.cfg"}},
        {"literal name in another case", dir.wpath() + L"\\EN.CFG", {L"en.cfg"}},
        {"question mark", dir.wpath() + L"\\e?.cfg", {L"en.cfg"}},
        {"trailing dot in the mask", dir.wpath() + L"\\*.cfg.", {L"en.cfg"}},
    };
    for (const Row& row : rows) {
        const SearchResult result = Search(row.pattern);
        EXPECT_TRUE(result.opened) << row.name;
        EXPECT_EQ(result.names, row.names) << row.name;
    }
}

TEST(FileSearchTest, FailuresSayWhatIsMissing) {
    TempDir dir;
    TempDir empty;
    Touch(dir, "readme.txt");
    struct Row {
        const char* name;
        std::wstring pattern;
        DWORD error;
    };
    const Row rows[] = {
        {"no entry matches", dir.wpath() + L"\\*.cfg", ERROR_FILE_NOT_FOUND},
        {"empty directory", empty.wpath() + L"\\*.cfg", ERROR_FILE_NOT_FOUND},
        {"missing directory", dir.wpath() + L"\\nonexistent\\*.cfg", ERROR_PATH_NOT_FOUND},
        {"nothing after the separator", dir.wpath() + L"\\", ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        const SearchResult result = Search(row.pattern);
        EXPECT_FALSE(result.opened) << row.name;
        EXPECT_EQ(result.error, row.error) << row.name;
    }
}

} // namespace
