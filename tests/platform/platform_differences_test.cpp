// Where the Linux stand-ins and the real Win32 calls answer differently, on
// purpose. Each test states both answers: the Linux build reads UTF-8 string
// tables, resolves bare file names against the current directory and matches
// long names only, while Windows decodes BOM-less files in the ANSI code page,
// looks bare names up in the Windows directory, opens DOS devices and may match
// 8.3 short names. Wine, which runs the Windows tests here, goes beyond
// Windows in two places (UTF-8 and UTF-16BE byte-order marks), so those
// expectations also say which of the two is running.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Util_StringLoader.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::Encoding;
using testsupport::TempDir;

constexpr DWORD kBufferChars = 1024;
const std::wstring kDefault = L"Cannot load string:K";

std::wstring Read(const std::wstring& file, DWORD size = kBufferChars) {
    std::vector<wchar_t> buffer(size + 1, L'#');
    const DWORD length =
        GetPrivateProfileStringW(L"Strings", L"K", kDefault.c_str(), buffer.data(), size, file.c_str());
    return std::wstring(buffer.data(), length);
}

#ifdef _WIN32
bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// What Windows makes of bytes without a byte-order mark: the ANSI code page.
std::wstring DecodeAnsi(const std::string& bytes) {
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}
#endif

TEST(PlatformDifferencesTest, Utf8WithoutByteOrderMark) {
    TempDir dir;
    const std::string utf8 = "\xE5\x9E\x83\xE5\x9C\xBE\xE9\x82\xAE\xE4\xBB\xB6"; // 垃圾邮件
    testsupport::WriteBytes(dir.file("t.cfg"), "[Strings]\r\nK=" + utf8 + "\r\n");
    const std::wstring text = Read(dir.wfile("t.cfg"));
#ifdef _WIN32
    EXPECT_EQ(text, DecodeAnsi(utf8));
    if (GetACP() == 1252) {
        EXPECT_EQ(text, L"\u00e5\u017e\u0192\u00e5\u0153\u00be\u00e9\u201a\u00ae\u00e4\u00bb\u00b6");
    }
#else
    EXPECT_EQ(text, L"\u5783\u573e\u90ae\u4ef6");
#endif
}

TEST(PlatformDifferencesTest, ByteOrderMarksOtherThanUtf16Le) {
    for (const Encoding encoding : {Encoding::Utf8Bom, Encoding::Utf16BeBom}) {
        TempDir dir;
        testsupport::WriteTextFile(dir.file("t.cfg"), L"[Strings]\r\nK=\u00dcbung\r\n", encoding);
        const std::wstring text = Read(dir.wfile("t.cfg"));
#ifdef _WIN32
        // Windows reads these files as ANSI: the mark glues itself to the
        // "[Strings]" line, which is then no section header, so K is not found.
        EXPECT_EQ(text, RunningUnderWine() ? L"\u00dcbung" : kDefault) << static_cast<int>(encoding);
#else
        EXPECT_EQ(text, L"\u00dcbung") << static_cast<int>(encoding);
#endif
    }
}

TEST(PlatformDifferencesTest, QuotedValueThatFillsTheBufferExactly) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("t.cfg"), L"[Strings]\nK=\"hello\"\n");
    const std::wstring text = Read(dir.wfile("t.cfg"), 6); // room for 5 characters
#ifdef _WIN32
    if (RunningUnderWine()) {
        EXPECT_EQ(text, L"hell"); // Wine drops a character that would have fit
    } else {
        EXPECT_TRUE(text == L"hell" || text == L"hello") << testsupport::Narrow(text);
    }
#else
    EXPECT_EQ(text, L"hello");
#endif
}

TEST(PlatformDifferencesTest, BufferSizeCountsUtf16UnitsOnWindowsAndCharactersOnLinux) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("t.cfg"), L"[Strings]\nK=a\U0001F600b\n", Encoding::Utf16LeBom);
    const std::wstring text = Read(dir.wfile("t.cfg"), 3); // room for 2 units
#ifdef _WIN32
    // The cut falls between the two halves of the surrogate pair.
    EXPECT_EQ(text, std::wstring(L"a") + static_cast<wchar_t>(0xD83D));
#else
    EXPECT_EQ(text, L"a\U0001F600");
#endif
}

TEST(PlatformDifferencesTest, FileNameWithoutSeparator) {
    TempDir dir;
    const std::string name = "ul_bare_" + std::filesystem::path(dir.path()).filename().string() + ".cfg";
    testsupport::WriteTextFile(dir.file(name), L"[Strings]\nK=here\n");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(dir.wpath()));
    const std::wstring text = Read(testsupport::Widen(name));
    std::filesystem::current_path(previous);
#ifdef _WIN32
    EXPECT_EQ(text, kDefault); // looked up in the Windows directory
#else
    EXPECT_EQ(text, L"here"); // relative to the current directory
#endif
}

TEST(PlatformDifferencesTest, DosDeviceNames) {
    TempDir dir;
#ifdef _WIN32
    // Only the \\?\ form of a path can create a file named after a device.
    const std::filesystem::path file(L"\\\\?\\" + dir.wfile("nul.cfg"));
    testsupport::WriteBytes(testsupport::Narrow(file.wstring()), "[Strings]\r\nK=file\r\n");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(Read(dir.wfile("nul.cfg")), kDefault); // the device, not the file
#else
    testsupport::WriteBytes(dir.file("nul.cfg"), "[Strings]\r\nK=file\r\n");
    EXPECT_EQ(Read(dir.wfile("nul.cfg")), L"file");
#endif
}

TEST(PlatformDifferencesTest, ShortNameMatchesOfTheSearchPattern) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("fr.cfgx"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=Pourriel\n");
    CUtilStringLoader loader;
    ASSERT_TRUE(loader.LoadAllLanguageStringTable(dir.wpath().c_str()));
    std::vector<int> languages;
    int count = 4;
    ASSERT_EQ(loader.GetLanguages(&languages, &count), 0u);
#ifdef _WIN32
    // "fr.cfgx" has the short name FR~1.CFG, which "*.cfg" matches wherever the
    // volume keeps short names (always under Wine).
    if (RunningUnderWine()) {
        EXPECT_EQ(languages, std::vector<int>{0x0c});
    }
#else
    EXPECT_TRUE(languages.empty());
#endif
}

} // namespace
