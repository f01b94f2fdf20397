// FindFirstFileW / FindNextFileW / FindClose for Linux. A search lists one
// directory once, keeps the entries whose long names match the mask, and hands
// them out in the order NTFS would: ordinal order of the upper-cased UTF-16
// names, ties broken case-sensitively. The order matters to the loader, since
// the first file of a language decides a string's text.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/common/text_codec.h"
#include "posix/win32_posix.h"

namespace {

constexpr DWORD FILE_ATTRIBUTE_HIDDEN_FLAG = 0x2;
constexpr unsigned long long kSecondsFrom1601To1970 = 11644473600ULL;

struct FoundEntry {
    std::wstring name;
    std::u16string upperKey; // upper-cased UTF-16 units: the NTFS sort key
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    unsigned long long size = 0;
    unsigned long long lastWrite = 0; // FILETIME ticks
};

struct SearchHandle {
    std::vector<FoundEntry> entries;
    std::size_t next = 0;
};

// Upper-case folding for name comparison: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic basics. Names in string-table directories are locale codes,
// so this covers far more than the loader needs while staying locale-independent.
wchar_t FoldUpper(wchar_t c) {
    const auto v = static_cast<unsigned long>(c);
    if (v >= 'a' && v <= 'z') {
        return static_cast<wchar_t>(v - 0x20);
    }
    if (v < 0xE0) {
        return c;
    }
    if (v <= 0xFE && v != 0xF7) {
        return static_cast<wchar_t>(v - 0x20);
    }
    if (v == 0xFF) {
        return static_cast<wchar_t>(0x178);
    }
    if (v >= 0x100 && v <= 0x137 && (v & 1u) == 1u) {
        return static_cast<wchar_t>(v - 1);
    }
    if (v >= 0x139 && v <= 0x148 && (v & 1u) == 0u) {
        return static_cast<wchar_t>(v - 1);
    }
    if (v >= 0x14A && v <= 0x177 && (v & 1u) == 1u) {
        return static_cast<wchar_t>(v - 1);
    }
    if (v >= 0x3B1 && v <= 0x3CB && v != 0x3C2) {
        return static_cast<wchar_t>(v - 0x20);
    }
    if (v >= 0x430 && v <= 0x44F) {
        return static_cast<wchar_t>(v - 0x20);
    }
    if (v >= 0x450 && v <= 0x45F) {
        return static_cast<wchar_t>(v - 0x50);
    }
    return c;
}

std::u16string UpperUtf16Key(const std::wstring& name) {
    std::u16string key;
    key.reserve(name.size());
    for (const wchar_t c : name) {
        const auto v = static_cast<unsigned long>(FoldUpper(c));
        if (v > 0xFFFF) {
            key += static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
            key += static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
        } else {
            key += static_cast<char16_t>(v);
        }
    }
    return key;
}

// Windows wildcard match: '*' matches any run (dots included), '?' any one
// character, everything else case-insensitively. Once the name is used up,
// trailing '*' and '.' in the mask are ignored, so "*.cfg." finds "en.cfg".
bool MatchMask(const wchar_t* mask, const wchar_t* name) {
    const wchar_t* starMask = nullptr;
    const wchar_t* starName = nullptr;
    while (*name != L'\0') {
        if (*mask == L'*') {
            starMask = ++mask;
            starName = name;
        } else if (*mask != L'\0' && (*mask == L'?' || FoldUpper(*mask) == FoldUpper(*name))) {
            ++mask;
            ++name;
        } else if (starMask != nullptr) {
            mask = starMask;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*mask == L'*' || *mask == L'.') {
        ++mask;
    }
    return *mask == L'\0';
}

unsigned long long ToFileTime(const struct timespec& time) {
    if (time.tv_sec < -static_cast<long long>(kSecondsFrom1601To1970)) {
        return 0;
    }
    return (static_cast<unsigned long long>(time.tv_sec + static_cast<long long>(kSecondsFrom1601To1970)) *
            10000000ULL) +
           static_cast<unsigned long long>(time.tv_nsec) / 100ULL;
}

void DescribeEntry(int directoryFd, const char* nativeName, FoundEntry& entry) {
    struct stat info {};
    // Follow links as Windows reports a link's target; a dangling link is
    // still listed, with the link's own data.
    if (fstatat(directoryFd, nativeName, &info, 0) != 0 &&
        fstatat(directoryFd, nativeName, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    entry.attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (nativeName[0] == '.') {
        entry.attributes |= FILE_ATTRIBUTE_HIDDEN_FLAG;
    }
    entry.size = S_ISDIR(info.st_mode) ? 0 : static_cast<unsigned long long>(info.st_size);
    entry.lastWrite = ToFileTime(info.st_mtim);
}

void FillFindData(const FoundEntry& entry, WIN32_FIND_DATAW* data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    data->ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(entry.lastWrite & 0xFFFFFFFFu);
    data->ftLastWriteTime.dwHighDateTime = static_cast<DWORD>(entry.lastWrite >> 32);
    data->ftCreationTime = data->ftLastWriteTime;
    data->ftLastAccessTime = data->ftLastWriteTime;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
    const std::size_t length = std::min<std::size_t>(entry.name.size(), MAX_PATH - 1);
    std::copy_n(entry.name.c_str(), length, data->cFileName);
    data->cFileName[length] = L'\0';
}

DWORD ErrorFromOpenDir(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_PATH_NOT_FOUND; // ENOENT, ENOTDIR, ELOOP: no such directory
    }
}

bool SortsBefore(const FoundEntry& a, const FoundEntry& b) {
    // "." and ".." come first, as every Windows file system lists them.
    const bool aDot = a.name == L"." || a.name == L"..";
    const bool bDot = b.name == L"." || b.name == L"..";
    if (aDot != bDot) {
        return aDot;
    }
    if (a.upperKey != b.upperKey) {
        return a.upperKey < b.upperKey;
    }
    return a.name < b.name;
}

// Lists `directory` (native path) and keeps the names that match `mask`.
DWORD CollectMatches(const std::string& directory, const std::wstring& mask, std::vector<FoundEntry>& matches) {
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        return ErrorFromOpenDir(errno);
    }
    std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, closedir);
    const int directoryFd = dirfd(listing);
    while (const dirent* item = readdir(listing)) {
        FoundEntry entry;
        entry.name = basekit::detail::FileNameToWide(item->d_name);
        if (!MatchMask(mask.c_str(), entry.name.c_str())) {
            continue;
        }
        entry.upperKey = UpperUtf16Key(entry.name);
        DescribeEntry(directoryFd, item->d_name, entry);
        matches.push_back(std::move(entry));
    }
    std::sort(matches.begin(), matches.end(), SortsBefore);
    return ERROR_SUCCESS;
}

HANDLE FailSearch(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData) {
    if (pattern == nullptr || findData == nullptr) {
        return FailSearch(ERROR_INVALID_PARAMETER);
    }
    const std::wstring text = pattern;
    if (text.empty()) {
        return FailSearch(ERROR_PATH_NOT_FOUND);
    }
    const std::size_t separator = text.find_last_of(L"\\/");
    std::wstring directory = separator == std::wstring::npos ? L"." : text.substr(0, separator);
    if (separator == 0) {
        directory = L"/"; // "\*.cfg": the root
    }
    const std::wstring mask = separator == std::wstring::npos ? text : text.substr(separator + 1);
    const std::string nativeDirectory = basekit::detail::WidePathToNative(directory.c_str());

    try {
        auto search = std::make_unique<SearchHandle>();
        const DWORD error = CollectMatches(nativeDirectory, mask, search->entries);
        if (error != ERROR_SUCCESS) {
            return FailSearch(error);
        }
        if (mask.empty() || search->entries.empty()) {
            return FailSearch(ERROR_FILE_NOT_FOUND);
        }
        FillFindData(search->entries[0], findData);
        search->next = 1;
        SetLastError(ERROR_SUCCESS);
        return search.release();
    } catch (const std::bad_alloc&) {
        return FailSearch(ERROR_NOT_ENOUGH_MEMORY);
    }
}

BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW findData) {
    if (search == nullptr || search == INVALID_HANDLE_VALUE || findData == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* state = static_cast<SearchHandle*>(search);
    if (state->next >= state->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    FillFindData(state->entries[state->next++], findData);
    return TRUE;
}

BOOL FindClose(HANDLE search) {
    if (search == nullptr || search == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete static_cast<SearchHandle*>(search);
    return TRUE;
}
