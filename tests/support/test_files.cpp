// Test helpers for files and directories; see test_files.h.
#include "support/test_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/common/text_codec.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

// Narrow paths in these helpers are native on Linux (bytes, usually UTF-8) and
// UTF-8 on Windows, where the file system itself is UTF-16: going through
// fs::u8path keeps non-ASCII names intact instead of squeezing them through
// the ANSI code page.
fs::path ToPath(const std::string& path) {
#ifdef _WIN32
    return fs::u8path(path);
#else
    return fs::path(path);
#endif
}

std::string FromPath(const fs::path& path) {
#ifdef _WIN32
    return path.u8string();
#else
    return path.string();
#endif
}

} // namespace

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            base / ("ul_test_" + std::to_string(random()) + "_" + std::to_string(counter.fetch_add(1)));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            m_path = FromPath(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    // Make everything writable again first: tests take permissions away.
    for (auto it =
             fs::recursive_directory_iterator(ToPath(m_path), fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
#ifdef _WIN32
    // Through the \\?\ form, which skips Win32 path parsing: a file that a test
    // named after a DOS device (nul.cfg) is then removed like any other.
    fs::remove_all(fs::path(L"\\\\?\\" + ToPath(m_path).wstring()), error);
#else
    fs::remove_all(ToPath(m_path), error);
#endif
}

std::wstring TempDir::wpath() const {
    return Widen(m_path);
}

std::string TempDir::file(const std::string& name) const {
    return FromPath(ToPath(m_path) / ToPath(name));
}

std::wstring TempDir::wfile(const std::string& name) const {
    return Widen(file(name));
}

std::wstring Widen(const std::string& text) {
    return basekit::detail::FileNameToWide(text);
}

std::string Narrow(const std::wstring& text) {
#ifdef _WIN32
    // Windows paths keep their backslashes; only the encoding changes.
    return basekit::detail::EncodeUtf8(text);
#else
    return basekit::detail::WidePathToNative(text.c_str());
#endif
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(ToPath(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

void AppendUtf16Unit(std::string& out, unsigned unit, bool bigEndian) {
    const char hi = static_cast<char>((unit >> 8) & 0xFF);
    const char lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
}

std::string EncodeUtf16(const std::wstring& text, bool bigEndian) {
    std::string out;
    for (const wchar_t c : text) {
        auto cp = static_cast<unsigned long>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            AppendUtf16Unit(out, 0xD800 + static_cast<unsigned>(cp >> 10), bigEndian);
            AppendUtf16Unit(out, 0xDC00 + static_cast<unsigned>(cp & 0x3FF), bigEndian);
        } else {
            AppendUtf16Unit(out, static_cast<unsigned>(cp), bigEndian);
        }
    }
    return out;
}

} // namespace

void WriteTextFile(const std::string& path, const std::wstring& text, Encoding encoding) {
    std::string bytes;
    switch (encoding) {
    case Encoding::Utf8:
        bytes = basekit::detail::EncodeUtf8(text);
        break;
    case Encoding::Utf8Bom:
        bytes = "\xEF\xBB\xBF" + basekit::detail::EncodeUtf8(text);
        break;
    case Encoding::Utf16Le:
        bytes = EncodeUtf16(text, false);
        break;
    case Encoding::Utf16LeBom:
        bytes = "\xFF\xFE" + EncodeUtf16(text, false);
        break;
    case Encoding::Utf16BeBom:
        bytes = "\xFE\xFF" + EncodeUtf16(text, true);
        break;
    case Encoding::Cp1252:
        for (const wchar_t c : text) {
            bytes += static_cast<char>(static_cast<unsigned char>(c));
        }
        break;
    }
    WriteBytes(path, bytes);
}

void MakeDirectory(const std::string& path) {
    fs::create_directories(ToPath(path));
}

} // namespace testsupport
