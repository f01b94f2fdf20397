// The basekit contract: the wide-string value class, the registry key and the
// two path operations that the loader takes from the suite's utility library.
// This file states what every platform provides; the implementations live in
// common/ (portable), posix/ (Linux stand-ins) and win/ (the real Win32 API).
#ifndef BASEKIT_H
#define BASEKIT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "util_stringloader_export.h"

// The registry root handle type. On Windows this is the real HKEY (STRICT
// handles are pointers to struct HKEY__); the Linux stand-in uses the same shape
// so that this header never needs <windows.h>.
struct HKEY__;

namespace basekit {

// A wide-character string with value semantics. Copies are deep and
// independent, so const objects holding WideStrings may be read from several
// threads at once.
class UTIL_STRINGLOADER_API WideString {
public:
    WideString() = default;
    // A null pointer gives the empty string.
    WideString(const wchar_t* text); // NOLINT(google-explicit-constructor): used like a literal
    explicit WideString(std::wstring text);
    WideString(const WideString& other) = default;
    WideString(WideString&& other) noexcept = default;
    ~WideString() = default;

    WideString& operator=(const WideString& other) = default;
    WideString& operator=(WideString&& other) noexcept = default;
    // A null pointer assigns the empty string.
    WideString& operator=(const wchar_t* text);

    // Appends a NUL-terminated wide string; a null pointer appends nothing.
    WideString& operator+=(const wchar_t* text);
    // Returns the content followed by `text`; this string is left unchanged.
    WideString operator+(const wchar_t* text) const;

    // Replaces the content with printf-style formatted text and returns *this.
    // On every platform "%s" takes a wide string (const wchar_t*), "%hs" a
    // narrow one, "%d"/"%i" an int, "%u"/"%x"/"%X" an unsigned int, "%c" a
    // wide character and "%%" a percent sign. Flags, width and precision are
    // honoured; "l" and "ll" widen the integer conversions. A null string
    // argument prints as "(null)". Unknown conversions are copied literally.
    // A text longer than 1,048,576 (2^20) characters is not made: the content
    // becomes empty. Widths and precisions (with '*', their arguments) that
    // alone ask for more are refused at once, before anything is formatted.
    // A narrow string argument that the C library cannot convert also leaves
    // the content empty.
    WideString& Format(const wchar_t* format, ...);

    // The NUL-terminated content; never null for this implementation.
    const wchar_t* c_str() const noexcept { return m_text.c_str(); }
    operator const wchar_t*() const noexcept { return m_text.c_str(); } // NOLINT(google-explicit-constructor)

    std::size_t length() const noexcept { return m_text.size(); }
    bool empty() const noexcept { return m_text.empty(); }
    const std::wstring& str() const noexcept { return m_text; }

    friend bool operator==(const WideString& a, const WideString& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const WideString& a, const WideString& b) { return a.m_text != b.m_text; }

private:
    std::wstring m_text;
};

// Owns at most one open registry key. Results are Windows error codes
// (0 on success). A failed Open may be followed by another Open on the same
// object; Close and destruction release a key that is open.
class UTIL_STRINGLOADER_API RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    long Open(HKEY__* root, const wchar_t* subkeyPath, std::uint32_t accessMask);
    // Reads a string value (REG_SZ, or REG_EXPAND_SZ with its environment
    // references expanded). ERROR_UNSUPPORTED_TYPE (1630) for other types.
    long QueryValue(const wchar_t* name, WideString& value) const;
    // Reads a REG_DWORD value. ERROR_UNSUPPORTED_TYPE (1630) for other types.
    long QueryValue(std::uint32_t& value, const wchar_t* name) const;
    long Close();

    bool IsOpen() const noexcept { return m_key != nullptr; }

private:
    void* m_key = nullptr; // HKEY on Windows, the stand-in's open-key snapshot on Linux
};

// The path of `name` inside `directory`. One separator is inserted unless the
// directory already ends in '\' or '/'; nothing is collapsed. The inserted
// separator is '/' when the directory uses only '/', else '\'. An empty
// directory gives "\name", the same root-relative place that a search for
// "\*.cfg" looks in.
UTIL_STRINGLOADER_API WideString JoinPath(const wchar_t* directory, const wchar_t* name);

// The file name without its extension: everything before the last '.' of the
// last path component ("zh_tw.cfg" -> "zh_tw", ".cfg" -> "", "a.b.cfg" -> "a.b").
// A name without a dot comes back whole.
UTIL_STRINGLOADER_API WideString FileBaseName(const wchar_t* fileName);

} // namespace basekit

#endif // BASEKIT_H
