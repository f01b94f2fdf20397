// Linux-only behaviour of the file search: long names only (no 8.3 short-name
// hits), names that are not UTF-8, and the handle rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::TempDir;

std::vector<std::wstring> Names(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

TEST(FileSearchPosixTest, MatchesLongNamesOnly) {
    TempDir dir;
    for (const char* name : {"a.cfgx", "ja.cfg~", "t.cfg ", "foo.CFG1", "ok.cfg"}) {
        testsupport::WriteBytes(dir.file(name), "x");
    }
    EXPECT_EQ(Names(dir.wpath() + L"\\*.cfg"), std::vector<std::wstring>{L"ok.cfg"});
}

TEST(FileSearchPosixTest, NameThatIsNotUtf8RoundTripsToTheSameFile) {
    TempDir dir;
    const std::string rawName = "fr\xE9.cfg"; // Latin-1 byte, not UTF-8
    testsupport::WriteBytes(dir.file(rawName), "[Strings]\n");
    const std::vector<std::wstring> names = Names(dir.wpath() + L"\\*.cfg");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(testsupport::Narrow(dir.wpath() + L"/" + names[0]), dir.file(rawName));
}

TEST(FileSearchPosixTest, EmptyDirectoryPartSearchesTheRoot) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(L"\\*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    EXPECT_NE(std::find(names.begin(), names.end(), L"tmp"), names.end());
}

TEST(FileSearchPosixTest, InvalidHandlesAreRefused) {
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(L"", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

} // namespace
