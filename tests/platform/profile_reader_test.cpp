// GetPrivateProfileStringW against golden files: the small INI files in
// data/profile and one table of answers, data/profile/expected.txt (its header
// gives the format), one read per row. The same table runs against the Linux
// stand-in and, in the Windows build under Wine, against the real call; its
// platform column says where the answers differ.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/common/text_codec.h"
#include "win32_api.h"

namespace {

#ifdef _WIN32
const bool kWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
const std::string kPlatform = kWine ? "wine" : "windows";
#else
const std::string kPlatform = "linux";
#endif
const std::string kData = "profile_data"; // beside the test binary, copied by tests/CMakeLists.txt

std::wstring Unescape(const std::string& field) {
    const std::wstring in = basekit::detail::DecodeUtf8(field);
    std::wstring out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'\\' || i + 1 == in.size()) {
            out += in[i];
            continue;
        }
        const wchar_t escape = in[++i];
        std::size_t used = 0;
        if (escape == L'u' || escape == L'U') {
            const char32_t cp = std::stoul(in.substr(i + 1, escape == L'u' ? 4 : 8), &used, 16);
            basekit::detail::ForEachUtf16Unit(cp, [&](char16_t unit) { out += static_cast<wchar_t>(unit); });
            if (sizeof(wchar_t) == 4 && cp > 0xFFFF) {
                out.replace(out.size() - 2, 2, 1, static_cast<wchar_t>(cp)); // one code point here
            }
        } else if (escape == L'*') {
            out.append(std::stoul(in.substr(i + 1), &used) - 1, out.back());
        } else {
            const std::wstring from = L"strn0", to(L" \t\r\n\0", 5);
            out += from.find(escape) != std::wstring::npos ? to[from.find(escape)] : escape; // also \\ and \|
        }
        i += used;
    }
    return out;
}

// The fields of a row: split at '|' (not at "\|") and trimmed of spaces.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '|') {
            fields.emplace_back();
            continue;
        }
        fields.back() += line[i];
        if (line[i] == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        }
    }
    for (std::string& field : fields) {
        field.erase(0, field.find_first_not_of(' '));
        field.erase(field.find_last_not_of(' ') + 1);
    }
    return fields;
}

TEST(ProfileReaderTest, GoldenFiles) {
    std::ifstream table(kData + "/expected.txt", std::ios::binary);
    ASSERT_TRUE(table) << "no " << kData << "/expected.txt beside the test";
    int rows = 0;
    std::string line;
    for (int number = 1; std::getline(table, line); ++number) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 7u) << "line " << number;
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
        EXPECT_EQ(result, got.size()) << "line " << number << ": " << line;
        EXPECT_EQ(got, Unescape(f[6])) << "line " << number << ": " << line;
        // Nothing beyond the size given (inside it, Wine may clear more than the NUL).
        EXPECT_EQ(std::wstring(buffer.data() + size, 8), L"########") << "line " << number << ": " << line;
    }
    EXPECT_GT(rows, 80);
}

} // namespace
