// Where the Linux stand-ins and the real Win32 calls answer differently, on
// purpose, beyond the reader's golden table (data/profile/expected.txt): the
// Linux build resolves bare file names against the current directory and opens
// files named after DOS devices as files, while Windows looks bare names up in
// the Windows directory and opens the device.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

namespace fs = std::filesystem;

const std::wstring kDefault = L"Cannot load string:K";
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Writes "[Strings] K=file" to a fresh directory (through the \\?\ form on
// Windows, the only one that can create a file named after a device) and reads
// K of [Strings] from `path` there, relative to that directory.
std::wstring Read(const std::string& path) {
    testsupport::TempDir dir;
    const std::wstring file = (kWindows ? L"\\\\?\\" : L"") + dir.wfile(fs::path(path).filename().string());
    testsupport::WriteTextFile(testsupport::Narrow(file), L"[Strings]\r\nK=file\r\n");
    EXPECT_TRUE(fs::exists(file));
    const fs::path previous = fs::current_path();
    fs::current_path(fs::path(dir.wpath()));
    wchar_t buffer[99];
    const DWORD length =
        GetPrivateProfileStringW(L"Strings", L"K", kDefault.c_str(), buffer, 99, testsupport::Widen(path).c_str());
    fs::current_path(previous);
    return std::wstring(buffer, length);
}

// Rows of the table in docs/windows.md, each by the name it has there.
TEST(PlatformDifferencesTest, FileNames) {
    // FileNameWithoutSeparator: looked up in the Windows directory, or relative to the current directory.
    EXPECT_EQ(Read("ul_bare.cfg"), kWindows ? kDefault : L"file");
    // DosDeviceNames: Windows opens the device, never the file.
    EXPECT_EQ(Read("./nul.cfg"), kWindows ? kDefault : L"file");
}

} // namespace
