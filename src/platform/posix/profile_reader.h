// The Linux profile reader: one INI file read, decoded and split at one
// instant, then asked for as many keys as the caller likes. The loader holds
// one ProfileFile per string-table file, so a table's 24 reads see the file as
// it was when its load began; nothing is kept once the object goes. Windows has
// a ProfileFile of the same shape (win/profile_file_win.h) over the real call.
#ifndef UTIL_STRINGLOADER_PROFILE_READER_H
#define UTIL_STRINGLOADER_PROFILE_READER_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "posix/win32_posix.h"

namespace basekit::detail {

// Parsing follows Windows' reader: lines end at any run of CR and LF; lines
// are trimmed of tab..CR, ^Z and space; "[name]" up to the last ']' opens a
// section; other lines split at the first '='; there is no comment syntax;
// names compare with ASCII-only case folding; the first section of a name and
// the first key of a name in it win, even a key line without '='. Text after
// a NUL on a line is invisible to names and values. Keys before the first
// header belong to an unnamed section, which is the one a lookup of "" finds.
//
// Not copyable or movable: the parsed names and values are views into the
// object's own text.
class ProfileFile {
public:
    // Reads the file at `path` ('\' or '/' separators). A file that is missing,
    // not a regular file, unreadable or larger than 16 MiB reads as empty.
    explicit ProfileFile(const wchar_t* path);
    // Parses a file's bytes: by byte-order mark UTF-16LE/BE or UTF-8, else
    // UTF-8 when all of it is valid UTF-8, else Windows-1252.
    explicit ProfileFile(std::string_view bytes);
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // GetPrivateProfileStringW's result for this file: the value of `key` in
    // `section`, else the default (trailing spaces removed, never emptied);
    // either without one pair of enclosing quotes; at most size-1 characters
    // and a NUL; returns the number copied. A null section or key and an empty
    // key give the default; a null buffer or a size of 0 gives 0.
    DWORD GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size) const;

private:
    struct Section {
        std::wstring_view name;
        std::size_t firstEntry; // its entries run up to the next section's first
    };
    struct Entry {
        std::wstring_view name;
        std::optional<std::wstring_view> value; // none for a line without '='
    };

    std::wstring_view CutAtNul(std::wstring_view text) const;
    void ParseLine(std::wstring_view line);
    std::optional<std::wstring_view> Find(std::wstring_view section, std::wstring_view key) const;

    std::wstring m_text;
    bool m_hasNul = false; // whether m_text holds a NUL anywhere
    std::vector<Section> m_sections;
    std::vector<Entry> m_entries;
};

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_PROFILE_READER_H
