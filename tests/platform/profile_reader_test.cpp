// GetPrivateProfileStringW against golden files: the small INI files in
// data/profile and one table of answers, data/profile/expected.txt (its header
// gives the format), one read per row. The same table runs against the Linux
// stand-in and, in the Windows build under Wine, against the real call; its
// platform column says where the answers differ.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/text_codec.h"
#include "support/golden_table.h"
#include "win32_api.h"

namespace {

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
        const DWORD result =
            GetPrivateProfileStringW(section.c_str(), key.c_str(), f[3] == "(null)" ? nullptr : defaultText.c_str(),
                                     buffer.data(), size, file.c_str());
        const std::wstring got(buffer.data(), size == 0 ? 0 : std::wcslen(buffer.data()));
        EXPECT_EQ(result, got.size()) << line;
        EXPECT_EQ(got, Unescape(f[6])) << line;
        // Nothing beyond the size given (inside it, Wine may clear more than the NUL).
        EXPECT_EQ(std::wstring(buffer.data() + size, 8), L"########") << line;
    }
    EXPECT_GT(rows, 80);
}

} // namespace
