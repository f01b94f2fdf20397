// The Windows ProfileFile: the same shape as the Linux reader's
// (posix/profile_reader.h), but every GetString is one real
// GetPrivateProfileStringW call, so Windows' own reader, its caching and its
// IniFileMapping decide what each read sees.
#ifndef UTIL_STRINGLOADER_PROFILE_FILE_WIN_H
#define UTIL_STRINGLOADER_PROFILE_FILE_WIN_H

#include <windows.h>

namespace basekit::detail {

class ProfileFile {
public:
    // Keeps the pointer, not a copy: the caller's path outlives the object.
    explicit ProfileFile(const wchar_t* path) : m_path(path) {}
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    DWORD GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size) const {
        return GetPrivateProfileStringW(section, key, defaultText, buffer, size, m_path);
    }

private:
    const wchar_t* m_path;
};

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_PROFILE_FILE_WIN_H
