// Test helpers for files and directories; see test_files.h.
#include "support/test_files.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    fs::path candidate;
    do { // create_directory answers false for a name already taken, and throws when it cannot create at all
        candidate =
            fs::temp_directory_path() / ("ul_test_" + std::to_string(random()) + "_" + std::to_string(counter++));
    } while (!fs::create_directory(candidate));
    m_path = candidate.u8string();
}

TempDir::~TempDir() {
    std::error_code error; // tests that take permissions away give them back themselves
#ifdef _WIN32
    // Through the \\?\ form, which skips Win32 path parsing: a file that a test
    // named after a DOS device (nul.cfg) is then removed like any other.
    fs::remove_all(fs::path(L"\\\\?\\" + fs::u8path(m_path).wstring()), error);
#else
    fs::remove_all(fs::u8path(m_path), error);
#endif
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadBytes(const std::string& path) {
    std::stringstream content;
    content << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return content.str();
}

std::string Utf16LeBytes(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text) {
        basekit::detail::ForEachUtf16Unit(static_cast<char32_t>(c), [&bytes](char16_t unit) {
            bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        });
    }
    return bytes;
}

void WriteTextFile(const std::string& path, const std::wstring& text, Encoding encoding) {
    WriteBytes(path, encoding == Encoding::Utf8 ? basekit::detail::EncodeUtf8(text) : "\xFF\xFE" + Utf16LeBytes(text));
}

} // namespace testsupport
