// The Linux profile reader and GetPrivateProfileStringW over it. Divisions:
// reading a file whole, splitting its text into sections and entries in one
// pass, lookups, and copying a result by the Win32 call's rules. A file is
// read once per ProfileFile; the stand-in call makes one per call.
#include "posix/profile_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/common/text_codec.h"

namespace basekit::detail {

namespace {

// --- Reading ----------------------------------------------------------------

// String tables are small (24 values of at most 1,023 characters); a larger
// file is treated as unreadable rather than decoded into several times its size.
constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

// The file's bytes, or nothing when it cannot be read as a regular file.
// O_NONBLOCK keeps a FIFO without a writer from blocking the open; fstat then
// refuses it. A file that grows while it is read is read to its end, up to the limit.
std::string ReadWholeFile(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') {
        return {};
    }
    const int fd = open(WidePathToNative(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return {};
    }
    std::string bytes;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= kMaxFileBytes) {
        const auto expected = static_cast<std::size_t>(st.st_size);
        bytes.resize(expected + 1); // one more than the size: an unchanged file takes one read
        std::size_t used = 0;
        for (;;) {
            if (used == bytes.size()) { // the file grew after fstat
                if (used > kMaxFileBytes) {
                    used = 0;
                    break;
                }
                bytes.resize(used * 2);
            }
            const std::size_t wanted = bytes.size() - used;
            const ssize_t got = read(fd, &bytes[used], wanted);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                used = got < 0 ? 0 : used;
                break;
            }
            used += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < wanted && used >= expected) {
                break; // a short read at or past the size fstat gave is the end of a regular file
            }
        }
        bytes.resize(used);
    }
    close(fd);
    return bytes;
}

// --- Splitting --------------------------------------------------------------

// Windows' reader trims tab..CR, ^Z and space; NBSP, U+3000 and a stray BOM are
// ordinary characters to it.
bool IsProfileSpace(wchar_t c) {
    return (c >= L'\t' && c <= L'\r') || c == L'\x1A' || c == L' ';
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsProfileSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsProfileSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

} // namespace

ProfileFile::ProfileFile(const wchar_t* path) : ProfileFile(std::string_view(ReadWholeFile(path))) {}

ProfileFile::ProfileFile(std::string_view bytes) : m_text(DecodeTextFile(bytes)) {
    m_hasNul = m_text.find(L'\0') != std::wstring::npos;
    m_sections.push_back(Section{{}, 0}); // keys before the first header
    std::wstring_view rest = m_text;
    while (!rest.empty()) {
        // The line runs up to the first LF or CR. Two searches with find
        // (wmemchr) take a third of the instructions of a loop that tests
        // each character for both.
        std::size_t end = std::min(rest.find(L'\n'), rest.size());
        end = std::min(rest.substr(0, end).find(L'\r'), end);
        ParseLine(Trim(rest.substr(0, end)));
        // A line ends at any run of CR and LF, so CRLF, LFCR and CR CR LF are one break.
        while (end < rest.size() && IsLineBreak(rest[end])) {
            ++end;
        }
        rest.remove_prefix(end);
    }
}

// Names and values are C strings to Windows: a NUL ends them. Most files hold
// no NUL at all, and then nothing needs searching.
std::wstring_view ProfileFile::CutAtNul(std::wstring_view text) const {
    return m_hasNul ? text.substr(0, text.find(L'\0')) : text;
}

void ProfileFile::ParseLine(std::wstring_view line) {
    if (line.empty()) {
        return;
    }
    // "[name]" ends at the last ']', so "[a]b]" names "a]b" and "[X]=v" is a
    // header; "[abc" without ']' is an ordinary key line.
    if (line.front() == L'[') {
        const std::size_t close = line.rfind(L']');
        if (close != std::wstring_view::npos && close > 0) {
            m_sections.push_back(Section{CutAtNul(Trim(line.substr(1, close - 1))), m_entries.size()});
            return;
        }
    }
    // Split at the first '=', even one after a NUL: "K<NUL>x=v" is key "K".
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        m_entries.push_back(Entry{CutAtNul(line), std::nullopt});
    } else {
        m_entries.push_back(Entry{CutAtNul(Trim(line.substr(0, equals))), CutAtNul(Trim(line.substr(equals + 1)))});
    }
}

// --- Lookups ----------------------------------------------------------------

namespace {

// Names are nearly always spelt in the same case as asked, so the exact
// comparison (wmemcmp) comes first; the folding one, character by character,
// runs only when it fails, from the end, since the loader's key names share
// long prefixes ("IDS_APPROVE_SENDER_FORM_UI_") and names of one length mostly
// differ in their last characters. Together they take a lookup in the
// benchmark's tables from 880 to 410 instructions (callgrind).
bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && (a == b || std::equal(a.rbegin(), a.rend(), b.rbegin(), [](wchar_t x, wchar_t y) {
                                        return AsciiUpper(x) == AsciiUpper(y);
                                    }));
}

} // namespace

// A linear search: a string table holds a few dozen lines, and the first
// section and key of a name win, which is the order the vectors keep.
std::optional<std::wstring_view> ProfileFile::Find(std::wstring_view section, std::wstring_view key) const {
    section = Trim(section);
    key = Trim(key);
    const auto found =
        std::find_if(m_sections.begin(), m_sections.end(), [&](const Section& s) { return SameName(s.name, section); });
    if (found == m_sections.end()) {
        return std::nullopt;
    }
    const auto first = m_entries.begin() + static_cast<std::ptrdiff_t>(found->firstEntry);
    const auto last = found + 1 == m_sections.end()
                          ? m_entries.end()
                          : m_entries.begin() + static_cast<std::ptrdiff_t>((found + 1)->firstEntry);
    const auto entry = std::find_if(first, last, [&](const Entry& e) { return SameName(e.name, key); });
    return entry != last ? entry->value : std::nullopt;
}

// --- Results ----------------------------------------------------------------

namespace {

// Windows removes one pair of matching quotes from the value or default.
std::wstring_view StripQuotes(std::wstring_view text) {
    if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') && text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// Windows drops trailing spaces (only spaces) from the default but never
// empties it: "   " becomes " ".
std::wstring_view DefaultText(LPCWSTR defaultText) {
    std::wstring_view text = defaultText != nullptr ? defaultText : L"";
    while (text.size() > 1 && text.back() == L' ') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

// Windows' quoted-value path drops a character that would fit when the inner
// text is exactly size-1 long; this reader keeps it. wchar_t holds code points
// here, so the cut never splits a surrogate pair.
DWORD ProfileFile::GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size) const {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::optional<std::wstring_view> value;
    if (section != nullptr && key != nullptr && key[0] != L'\0') { // Windows answers an empty key with the default
        value = Find(section, key);
    }
    const std::wstring_view text = StripQuotes(value ? *value : DefaultText(defaultText));
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.data(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<DWORD>(count);
}

} // namespace basekit::detail

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName) {
    return basekit::detail::ProfileFile(fileName).GetString(section, key, defaultText, buffer, size);
}
