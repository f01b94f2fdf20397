// Test helpers: a fresh temporary directory per test, and writers for text
// files in the encodings that string tables and registry files come in.
#ifndef UTIL_STRINGLOADER_TEST_FILES_H
#define UTIL_STRINGLOADER_TEST_FILES_H

#include <string>

namespace testsupport {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16LeBom, Utf16BeBom, Cp1252 };

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
    std::wstring wpath() const;
    // The wide path of `name` inside the directory, joined with the native separator.
    std::wstring wfile(const std::string& name) const;
    std::string file(const std::string& name) const;

private:
    std::string m_path;
};

// Writes `text` (wide) to `path` in `encoding`; Cp1252 keeps only code points below 256.
void WriteTextFile(const std::string& path, const std::wstring& text, Encoding encoding = Encoding::Utf8);
// Writes raw bytes.
void WriteBytes(const std::string& path, const std::string& bytes);
void MakeDirectory(const std::string& path);

// Native narrow path <-> wide path (UTF-8).
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TEST_FILES_H
