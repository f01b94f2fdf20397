// Linux-only behaviour of the file search: long names only (no 8.3 short-name
// hits), names that are not UTF-8, and the handle rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

std::vector<std::wstring> Names(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &data)) {
        names.emplace_back(data.cFileName);
    }
    FindClose(search);
    return names;
}

TEST(FileSearchPosixTest, LongNamesOnlyAndNamesThatAreNotUtf8) {
    testsupport::TempDir dir;
    for (const char* name : {"a.cfgx", "ja.cfg~", "t.cfg ", "foo.CFG1", "fr\xE9.cfg"}) { // a Latin-1 byte
        testsupport::WriteBytes(dir.file(name), "x");
    }
    const std::vector<std::wstring> names = Names(dir.wpath() + L"\\*.cfg");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(testsupport::Narrow(dir.wpath() + L"/" + names[0]), dir.file("fr\xE9.cfg"));
    const std::vector<std::wstring> root = Names(L"\\*"); // an empty directory part searches the root
    EXPECT_NE(std::find(root.begin(), root.end(), L"tmp"), root.end());
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
