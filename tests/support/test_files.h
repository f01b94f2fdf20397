// Test helpers: a fresh temporary directory per test, and writers for text
// files in the encodings that string tables and registry files come in.
// Narrow paths are native on Linux (bytes, usually UTF-8) and UTF-8 on Windows,
// where the file system itself is UTF-16: fs::u8path and u8string() convert
// there, keeping non-ASCII names intact instead of squeezing them through the
// ANSI code page, and take the bytes as they are on Linux.
#ifndef UTIL_STRINGLOADER_TEST_FILES_H
#define UTIL_STRINGLOADER_TEST_FILES_H

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/common/text_codec.h"

namespace testsupport {

namespace fs = std::filesystem;

// Native narrow path <-> wide path (UTF-8).
inline std::wstring Widen(const std::string& text) {
    return basekit::detail::FileNameToWide(text);
}
inline std::string Narrow(const std::wstring& text) {
#ifdef _WIN32
    return basekit::detail::EncodeUtf8(text); // Windows paths keep their backslashes; only the encoding changes
#else
    return basekit::detail::WidePathToNative(text.c_str());
#endif
}

enum class Encoding { Utf8, Utf16LeBom };

// A directory created fresh for one test and removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory as a native narrow path (no trailing separator).
    const std::string& path() const { return m_path; }
    // The directory as a wide path, as the library's callers pass it.
    std::wstring wpath() const { return Widen(m_path); }
    // The path of `name` inside the directory, joined with the native separator.
    std::string file(const std::string& name) const { return (fs::u8path(m_path) / fs::u8path(name)).u8string(); }
    std::wstring wfile(const std::string& name) const { return Widen(file(name)); }

private:
    std::string m_path;
};

// Writes `text` (wide) to `path` as UTF-8, or as UTF-16LE with a byte-order mark.
void WriteTextFile(const std::string& path, const std::wstring& text, Encoding encoding = Encoding::Utf8);
// Writes raw bytes, and reads a file's bytes back.
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
// Text as UTF-16LE bytes without a byte-order mark; above U+FFFF (32-bit wchar_t only) a surrogate pair.
std::string Utf16LeBytes(const std::wstring& text);
// Sets an environment variable of this process.
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void MakeDirectory(const std::string& path) {
    fs::create_directories(fs::u8path(path));
}

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TEST_FILES_H
