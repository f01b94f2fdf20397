// Linux stand-ins for the Win32 types and calls the loader uses. They keep the
// Win32 names, signatures and error codes; wchar_t is 32-bit here, so text
// lengths count code points where Windows counts UTF-16 units. None of these
// names is exported from the shared library.
#ifndef UTIL_STRINGLOADER_WIN32_POSIX_H
#define UTIL_STRINGLOADER_WIN32_POSIX_H

#include <cstdint>

#include "basekit.h" // struct HKEY__

using BOOL = int;
using DWORD = std::uint32_t;
using HANDLE = void*;
using HKEY = HKEY__*;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_BADDB = 1009;
constexpr DWORD ERROR_UNSUPPORTED_TYPE = 1630;

constexpr DWORD KEY_WOW64_64KEY = 0x0100;
constexpr DWORD KEY_WOW64_32KEY = 0x0200;
constexpr DWORD KEY_READ = 0x20019; // STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY

constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    wchar_t cFileName[MAX_PATH];
    wchar_t cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Thread-local last-error value, as the Win32 calls set it.
DWORD GetLastError();
void SetLastError(DWORD code);

// File search over one directory (src/platform/posix/file_search.cpp).
// The pattern is "DIR\MASK" or "DIR/MASK"; '*' and '?' match case-insensitively
// against whole names; entries come in ordinal order of their upper-cased
// names, ties broken case-sensitively. Directories that match are returned.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE search);

// Profile reader (src/platform/posix/profile_reader.cpp): the text of `key` in
// `section` of the INI file `fileName`, or `defaultText` when the file, the
// section or the key is missing. Copies at most size-1 characters and a NUL;
// returns the number of characters copied. Each call reads the file afresh;
// the loader reads a table once through basekit::detail::ProfileFile.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName);

#endif // UTIL_STRINGLOADER_WIN32_POSIX_H
