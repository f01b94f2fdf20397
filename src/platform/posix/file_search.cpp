// FindFirstFileW / FindNextFileW / FindClose for Linux. A search lists one
// directory once, keeps the entries whose long names match the mask (never a
// name holding '\', which Windows cannot have), and hands
// them out in the order NTFS would: ordinal order of the upper-cased UTF-16
// names, ties broken case-sensitively. The order matters to the loader, since
// the first file of a language decides a string's text.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

// One listed name. The loader reads only the name; the attributes say
// directory or not, and sizes and times stay zero.
struct FoundEntry {
    std::wstring name;
    std::u16string sortKey; // upper-cased UTF-16 units: the NTFS order
    bool dots = false;      // "." or "..", which sort first
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

struct SearchHandle {
    std::vector<FoundEntry> entries;
    std::size_t next = 0;
};

// Upper-case folding for names: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic basics, as the file systems' own tables fold them, independent of
// the process locale.
wchar_t FoldUpper(wchar_t c) {
    const auto v = static_cast<unsigned long>(c);
    if (v < 0xE0) {
        return basekit::detail::AsciiUpper(c);
    }
    unsigned long upper = v;
    if (v <= 0xFE && v != 0xF7) {
        upper = v - 0x20;
    } else if (v == 0xFF) {
        upper = 0x178;
    } else if ((v >= 0x100 && v <= 0x137 && (v & 1u) == 1u) || (v >= 0x139 && v <= 0x148 && (v & 1u) == 0u) ||
               (v >= 0x14A && v <= 0x177 && (v & 1u) == 1u)) {
        upper = v - 1; // Latin Extended-A: lower case follows upper case
    } else if ((v >= 0x3B1 && v <= 0x3CB && v != 0x3C2) || (v >= 0x430 && v <= 0x44F)) {
        upper = v - 0x20;
    } else if (v >= 0x450 && v <= 0x45F) {
        upper = v - 0x50;
    }
    return static_cast<wchar_t>(upper);
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

// Directory or not, from the listing's d_type; only a symbolic link (reported
// as its target, as Windows does) or a file system that leaves d_type unknown
// costs a stat.
DWORD Attributes(int directoryFd, const dirent& item) {
    bool directory = item.d_type == DT_DIR;
    if (item.d_type == DT_LNK || item.d_type == DT_UNKNOWN) {
        struct stat info {};
        directory = fstatat(directoryFd, item.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    return directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

void FillFindData(const FoundEntry& entry, WIN32_FIND_DATAW* data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    const std::size_t length = std::min<std::size_t>(entry.name.size(), MAX_PATH - 1);
    std::copy_n(entry.name.c_str(), length, data->cFileName);
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
    if (a.dots != b.dots) {
        return a.dots;
    }
    return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.name < b.name;
}

// Lists `directory` (native path) and keeps the names that match `mask`.
DWORD CollectMatches(const std::string& directory, const std::wstring& mask, std::vector<FoundEntry>& matches) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(directory.c_str()), closedir);
    if (listing == nullptr) {
        return ErrorFromOpenDir(errno);
    }
    while (const dirent* item = readdir(listing.get())) {
        // No Windows file name holds '\', and the loader would split such a
        // name at it ("a\en.cfg" would load as en.cfg of a directory "a"), so
        // the search passes over it as if it were not there.
        if (std::strchr(item->d_name, '\\') != nullptr) {
            continue;
        }
        FoundEntry entry;
        entry.name = basekit::detail::FileNameToWide(item->d_name);
        if (!MatchMask(mask.c_str(), entry.name.c_str())) {
            continue;
        }
        entry.dots = entry.name == L"." || entry.name == L"..";
        entry.sortKey.reserve(entry.name.size());
        for (const wchar_t c : entry.name) {
            basekit::detail::ForEachUtf16Unit(static_cast<char32_t>(FoldUpper(c)),
                                              [&entry](char16_t unit) { entry.sortKey += unit; });
        }
        entry.attributes = Attributes(dirfd(listing.get()), *item);
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
    try {
        auto search = std::make_unique<SearchHandle>();
        const DWORD error = CollectMatches(basekit::detail::WidePathToNative(directory.c_str()), mask, search->entries);
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
