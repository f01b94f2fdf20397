// GetPrivateProfileStringW against golden files: the small INI files in
// data/profile and one table of answers, data/profile/expected.txt (its header
// gives the format), one read per row. The same table runs against the Linux
// stand-in and, in the Windows build under Wine, against the real call; its
// platform column says where the answers differ. Then the two file-name
// differences that a table row cannot set up.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/text_codec.h"
#include "support/golden_table.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Unescape;

#ifdef _WIN32
const bool kWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
const std::string kPlatform = kWine ? "wine" : "windows";
#else
const std::string kPlatform = "linux";
#endif
const std::string kData = "profile_data"; // beside the test binary, copied by tests/CMakeLists.txt

TEST(ProfileReaderTest, GoldenFiles) {
    const auto table = testsupport::ReadTable(kData + "/expected.txt");
    ASSERT_FALSE(table.empty()) << "no " << kData << "/expected.txt beside the test";
    int rows = 0;
    for (const auto& [line, f] : table) {
        ASSERT_EQ(f.size(), 7u) << line;
        if (f[5] != "all" && f[5].find(kPlatform) == std::string::npos) {
            continue;
        }
        ++rows;
        const std::wstring file = f[0] == "(none)" ? L"" : basekit::detail::DecodeUtf8(kData + "\\") + Unescape(f[0]);
        const std::wstring section = Unescape(f[1]), key = Unescape(f[2]), defaultText = Unescape(f[3]);
        const auto size = static_cast<DWORD>(std::stoul(f[4]));
        std::vector<wchar_t> buffer(size + 8, L'#');
        const DWORD result = GetPrivateProfileStringW(
            f[1] == "(null)" ? nullptr : section.c_str(), f[2] == "(null)" ? nullptr : key.c_str(),
            f[3] == "(null)" ? nullptr : defaultText.c_str(), buffer.data(), size, file.c_str());
        const std::wstring got(buffer.data(), size == 0 ? 0 : std::wcslen(buffer.data()));
        EXPECT_EQ(result, got.size()) << line;
        EXPECT_EQ(got, Unescape(f[6])) << line;
        // Nothing beyond the size given (inside it, Wine may clear more than the NUL).
        EXPECT_EQ(std::wstring(buffer.data() + size, 8), L"########") << line;
    }
    EXPECT_GT(rows, 80);
}

const std::wstring kDefault = L"Cannot load string:K";
const bool kWindows = kPlatform != "linux";

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

// Where the stand-in and the real call differ on purpose, beyond the table:
// the Linux build resolves bare file names against the current directory and
// opens files named after DOS devices as files, while Windows looks bare names
// up in the Windows directory and opens the device. Rows of the table in
// docs/windows.md, each by the name it has there.
TEST(ProfileReaderTest, PlatformDifferencesInFileNames) {
    // FileNameWithoutSeparator: looked up in the Windows directory, or relative to the current directory.
    EXPECT_EQ(Read("ul_bare.cfg"), kWindows ? kDefault : L"file");
    // DosDeviceNames: Windows opens the device, never the file.
    EXPECT_EQ(Read("./nul.cfg"), kWindows ? kDefault : L"file");
}

#ifndef _WIN32
// The Linux reader's size limit: a file of exactly 16 MiB is read, one byte more is refused.
TEST(ProfileReaderTest, LinuxReadsFilesOfAtMost16MiB) {
    testsupport::TempDir dir;
    std::string bytes = "[Strings]\nK=v\n";
    bytes.resize(std::size_t{16} << 20, ';');
    for (const auto& [file, expected] : {std::pair{bytes, L"v"}, {bytes + ";", L"d"}}) {
        testsupport::WriteBytes(dir.file("t.cfg"), file);
        wchar_t buffer[4];
        GetPrivateProfileStringW(L"Strings", L"K", L"d", buffer, 4, dir.wfile("t.cfg").c_str());
        EXPECT_EQ(std::wstring(buffer), expected) << file.size();
    }
}
#endif

} // namespace
