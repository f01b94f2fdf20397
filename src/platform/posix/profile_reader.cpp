// GetPrivateProfileStringW for Linux: reads INI files the way Windows' profile
// reader does, decodes them the way Linux files are usually written, and keeps
// recently parsed files so that a table's many lookups cost one stat() each.
// Divisions: text helpers, the parser and its hash index, lookups, the parse
// cache, and the Win32 entry point with its result-copying rules.
#include "posix/profile_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "platform/common/text_codec.h"
#include "posix/win32_posix.h"

namespace basekit::detail {

// --- Text helpers -----------------------------------------------------------

namespace {

// Windows' reader trims tab..CR, ^Z and space; NBSP, U+3000 and a stray BOM are
// ordinary characters to it.
bool IsProfileSpace(wchar_t c) {
    return (c >= L'\t' && c <= L'\r') || c == L'\x1A' || c == L' ';
}

// The 0x20 bit of every character in a 64-bit word of text, whatever the byte
// order: each character's low byte lies in the same bits of the word.
static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4, "text words hold whole characters");
constexpr std::uint64_t kCaseBits = sizeof(wchar_t) == 4 ? 0x0000002000000020ull : 0x0020002000200020ull;

std::uint64_t TextWord(const wchar_t* text) {
    std::uint64_t word;
    std::memcpy(&word, text, sizeof word);
    return word;
}

// Whether any of the eight characters at `text` is a control character up to
// CR (NUL, tab, LF, VT, FF, CR), tested a word at a time: a character below 14
// borrows into its sign bit, which its complement keeps only if it was clear.
// A borrow that crosses into the next character arises only after a hit.
bool HasControlOf8(const wchar_t* text) {
    constexpr std::size_t kPerWord = sizeof(std::uint64_t) / sizeof(wchar_t);
    constexpr std::uint64_t kOnes = sizeof(wchar_t) == 4 ? 0x0000000100000001ull : 0x0001000100010001ull;
    constexpr std::uint64_t kSigns = kOnes << (8 * sizeof(wchar_t) - 1);
    std::uint64_t hits = 0;
    for (std::size_t k = 0; k < 8; k += kPerWord) {
        const std::uint64_t word = TextWord(text + k);
        hits |= (word - kOnes * (U'\r' + 1)) & ~word & kSigns;
    }
    return hits != 0;
}

std::wstring_view Trim(std::wstring_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsProfileSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsProfileSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// AsciiUpper without a branch, for comparing names that differ in case.
std::uint32_t FoldedUnit(wchar_t c) {
    const auto unit = static_cast<std::uint32_t>(c);
    return unit - (static_cast<std::uint32_t>(unit - U'a' < 26u) << 5);
}

bool EqualFolded(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    if (a == b) {
        return true; // the usual case: the file spells the name as the caller does
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldedUnit(a[i]) != FoldedUnit(b[i])) {
            return false;
        }
    }
    return true;
}

// Hashes a name so that names equal under ASCII case folding hash alike: every
// character enters with its 0x20 bit set, which makes 'A' and 'a' (and a few
// pairs that EqualFolded then tells apart) one. Two characters go into each
// multiplication and two products are in flight, so a name of 40 characters
// costs about ten multiplications of latency; `seed` separates the sections'
// key spaces.
std::uint32_t HashFolded(std::wstring_view name, std::uint32_t seed) {
    constexpr std::uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;
    constexpr std::size_t kPerWord = sizeof(std::uint64_t) / sizeof(wchar_t);
    const wchar_t* const text = name.data();
    const std::size_t size = name.size();
    std::uint64_t a = 0x9E3779B97F4A7C15ull ^ seed;
    std::uint64_t b = size;
    std::size_t i = 0;
    for (; i + 2 * kPerWord <= size; i += 2 * kPerWord) {
        a = (a ^ (TextWord(text + i) | kCaseBits)) * kMultiplier;
        b = (b ^ (TextWord(text + i + kPerWord) | kCaseBits)) * kMultiplier;
    }
    if (i + kPerWord <= size) {
        a = (a ^ (TextWord(text + i) | kCaseBits)) * kMultiplier;
        i += kPerWord;
    }
    if (i < size) {
        std::uint64_t tail = 0;
        for (; i < size; ++i) {
            tail = (tail << (8 * sizeof(wchar_t))) | static_cast<std::make_unsigned_t<wchar_t>>(text[i]);
        }
        b = (b ^ (tail | kCaseBits)) * kMultiplier;
    }
    std::uint64_t hash = (a ^ (b >> 32) ^ (b << 32)) * kMultiplier;
    hash ^= hash >> 29;
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::uint32_t SectionSeed(std::uint32_t section) {
    return (section + 1) * 0x9E3779B1u;
}

// Linear probing over a power-of-two slot array kept at most half full. Returns
// the index already stored under an equal name, or stores `index` and returns
// nothing, so the first section or key of a name wins.
template <typename Slots, typename Equal>
std::optional<std::uint32_t> FindOrInsert(Slots& slots, std::size_t& count, std::uint32_t hash, std::uint32_t index,
                                          Equal equal) {
    if ((count + 1) * 2 > slots.size()) {
        Slots grown(std::max<std::size_t>(16, slots.size() * 2));
        const std::size_t mask = grown.size() - 1;
        for (const auto& slot : slots) {
            if (slot.indexPlusOne != 0) {
                std::size_t i = slot.hash & mask;
                while (grown[i].indexPlusOne != 0) {
                    i = (i + 1) & mask;
                }
                grown[i] = slot;
            }
        }
        slots.swap(grown);
    }
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        auto& slot = slots[i];
        if (slot.indexPlusOne == 0) {
            slot.hash = hash;
            slot.indexPlusOne = index + 1;
            ++count;
            return std::nullopt;
        }
        if (slot.hash == hash && equal(slot.indexPlusOne - 1)) {
            return slot.indexPlusOne - 1;
        }
    }
}

template <typename Slots, typename Equal>
std::optional<std::uint32_t> FindSlot(const Slots& slots, std::uint32_t hash, Equal equal) {
    if (slots.empty()) {
        return std::nullopt;
    }
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = hash & mask; slots[i].indexPlusOne != 0; i = (i + 1) & mask) {
        if (slots[i].hash == hash && equal(slots[i].indexPlusOne - 1)) {
            return slots[i].indexPlusOne - 1;
        }
    }
    return std::nullopt;
}

} // namespace

// --- Parser -----------------------------------------------------------------

ProfileDocument ProfileDocument::FromBytes(std::string_view bytes) {
    return ProfileDocument(DecodeTextFile(bytes));
}

ProfileDocument::ProfileDocument(std::wstring text) : m_text(std::move(text)) {
    if (m_text.size() > kMaxTextChars) {
        m_text.clear();
    }
    Parse();
}

void ProfileDocument::Parse() {
    const wchar_t* const text = m_text.data();
    const std::size_t size = m_text.size();
    const auto span = [](std::size_t begin, std::size_t end) {
        return Span{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)};
    };
    // Names and values are C strings to Windows: a NUL ends them.
    const auto cutAtNul = [&](std::size_t begin, std::size_t end) {
        return span(begin, static_cast<std::size_t>(std::find(text + begin, text + end, L'\0') - text));
    };

    m_sections.reserve(4);
    m_entries.reserve(32);
    AddSection(Span{0, 0}); // keys before the first header
    std::size_t pos = 0;
    while (pos < size) {
        // The line ends at the first CR or LF; a NUL in it cuts names and values.
        // All three are control characters, which text seldom holds, so the scan
        // passes eight characters at a time while none is one.
        std::size_t begin = pos;
        std::size_t end = pos;
        bool hasNul = false;
        while (end < size) {
            if (size - end >= 8 && !HasControlOf8(text + end)) {
                end += 8;
                continue;
            }
            const auto unit = static_cast<std::uint32_t>(text[end]);
            if (unit == U'\r' || unit == U'\n') {
                break;
            }
            hasNul = hasNul || unit == 0;
            ++end;
        }
        // A line ends at any run of CR and LF, so CRLF, LFCR and CR CR LF are one break.
        pos = end;
        while (pos < size && (text[pos] == L'\r' || text[pos] == L'\n')) {
            ++pos;
        }
        while (begin < end && IsProfileSpace(text[begin])) {
            ++begin;
        }
        while (end > begin && IsProfileSpace(text[end - 1])) {
            --end;
        }
        if (begin == end) {
            continue;
        }

        // "[name]" ends at the last ']', so "[a]b]" names "a]b" and "[X]=v" is a header.
        if (text[begin] == L'[') {
            std::size_t close = end - 1;
            while (close > begin && text[close] != L']') {
                --close;
            }
            if (close > begin) {
                std::size_t nameBegin = begin + 1;
                std::size_t nameEnd = close;
                while (nameBegin < nameEnd && IsProfileSpace(text[nameBegin])) {
                    ++nameBegin;
                }
                while (nameEnd > nameBegin && IsProfileSpace(text[nameEnd - 1])) {
                    --nameEnd;
                }
                AddSection(hasNul ? cutAtNul(nameBegin, nameEnd) : span(nameBegin, nameEnd));
                continue;
            }
            // "[abc" without ']' is an ordinary key line.
        }

        const wchar_t* const equalsAt = std::wmemchr(text + begin, L'=', end - begin);
        if (equalsAt == nullptr) {
            AddEntry(hasNul ? cutAtNul(begin, end) : span(begin, end), Span{kNoValue, 0});
            continue;
        }
        const auto equals = static_cast<std::size_t>(equalsAt - text);
        std::size_t nameEnd = equals;
        while (nameEnd > begin && IsProfileSpace(text[nameEnd - 1])) {
            --nameEnd;
        }
        std::size_t valueBegin = equals + 1;
        while (valueBegin < end && IsProfileSpace(text[valueBegin])) {
            ++valueBegin;
        }
        if (hasNul) {
            AddEntry(cutAtNul(begin, nameEnd), cutAtNul(valueBegin, end));
        } else {
            AddEntry(span(begin, nameEnd), span(valueBegin, end));
        }
    }
    IndexEntries();
}

void ProfileDocument::AddSection(Span name) {
    const auto index = static_cast<std::uint32_t>(m_sections.size());
    m_sections.push_back(Section{name, static_cast<std::uint32_t>(m_entries.size()), 0});
    const std::wstring_view view = View(name);
    const auto existing =
        FindOrInsert(m_sectionSlots, m_indexedSections, HashFolded(view, 0), index,
                     [&](std::uint32_t other) { return EqualFolded(View(m_sections[other].name), view); });
    // Windows searches only the first section of a name; later ones are dead text.
    m_currentSectionIndexed = !existing.has_value();
}

void ProfileDocument::AddEntry(Span name, Span value) {
    if (!m_currentSectionIndexed) {
        return;
    }
    m_entries.push_back(Entry{name, value, static_cast<std::uint32_t>(m_sections.size() - 1)});
    ++m_sections.back().entryCount;
}

// Indexes the entries once their number is known, so the slot array is sized
// once. Inserting in file order keeps the first line of a name, even a bare
// "KEY" line, which then shadows a later "KEY=value"; later duplicates stay
// listed for enumeration only.
void ProfileDocument::IndexEntries() {
    std::size_t slots = 16;
    while (slots < (m_entries.size() + 1) * 2) {
        slots *= 2;
    }
    m_entrySlots.assign(slots, Slot{0, 0});
    for (std::uint32_t index = 0; index < m_entries.size(); ++index) {
        const Entry& entry = m_entries[index];
        const std::wstring_view view = View(entry.name);
        FindOrInsert(m_entrySlots, m_indexedEntries, HashFolded(view, SectionSeed(entry.section)), index,
                     [&](std::uint32_t other) {
                         return m_entries[other].section == entry.section &&
                                EqualFolded(View(m_entries[other].name), view);
                     });
    }
}

// --- Lookups ----------------------------------------------------------------

std::optional<std::uint32_t> ProfileDocument::FindSection(std::wstring_view name) const {
    name = Trim(name);
    return FindSlot(m_sectionSlots, HashFolded(name, 0),
                    [&](std::uint32_t index) { return EqualFolded(View(m_sections[index].name), name); });
}

std::optional<std::wstring_view> ProfileDocument::Find(std::wstring_view section, std::wstring_view key) const {
    const auto sectionIndex = FindSection(section);
    if (!sectionIndex) {
        return std::nullopt;
    }
    key = Trim(key);
    const auto entry = FindSlot(m_entrySlots, HashFolded(key, SectionSeed(*sectionIndex)), [&](std::uint32_t index) {
        return m_entries[index].section == *sectionIndex && EqualFolded(View(m_entries[index].name), key);
    });
    if (!entry || m_entries[*entry].value.begin == kNoValue) {
        return std::nullopt;
    }
    return View(m_entries[*entry].value);
}

std::vector<std::wstring_view> ProfileDocument::SectionNames() const {
    std::vector<std::wstring_view> names;
    for (const Section& section : m_sections) {
        if (section.name.length != 0) {
            names.push_back(View(section.name));
        }
    }
    return names;
}

std::vector<std::wstring_view> ProfileDocument::KeyNames(std::wstring_view section) const {
    std::vector<std::wstring_view> names;
    const auto sectionIndex = FindSection(section);
    if (!sectionIndex) {
        return names;
    }
    const Section& found = m_sections[*sectionIndex];
    for (std::uint32_t i = found.firstEntry; i < found.firstEntry + found.entryCount; ++i) {
        const std::wstring_view name = View(m_entries[i].name);
        if (m_entries[i].value.begin != kNoValue && !name.empty() && name.front() != L';') {
            names.push_back(name);
        }
    }
    return names;
}

std::size_t ProfileDocument::MemoryBytes() const {
    return sizeof(*this) + m_text.capacity() * sizeof(wchar_t) + m_sections.capacity() * sizeof(Section) +
           m_entries.capacity() * sizeof(Entry) + (m_sectionSlots.capacity() + m_entrySlots.capacity()) * sizeof(Slot);
}

// --- Parse cache ------------------------------------------------------------
//
// The loader asks for about two dozen keys per file. Each call stat()s the file
// and reuses the parsed document when device, inode, size and both modification
// and change times (to the nanosecond) are unchanged. The change time catches a
// rewrite that keeps size and modification time; on file systems with coarse
// timestamps a same-size rewrite within one tick can still go unseen.

namespace {

constexpr std::size_t kMaxCachedFiles = 8;
constexpr std::size_t kMaxCachedBytes = 32u << 20;
// String tables are small (24 values of at most 1,023 characters); a larger
// file is treated as unreadable rather than decoded into several times its
// size. Reading a 100 MB file whole would cost the host service over half a
// gigabyte while it is parsed, and the cache would keep most of it.
constexpr off_t kMaxFileBytes = off_t{16} << 20;

struct FileIdentity {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;

    explicit FileIdentity(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(st.st_mtim), changed(st.st_ctim) {}

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// One parsed file, immutable once made: a reader holds it by shared_ptr while
// another thread may replace it in the cache.
struct CachedFile {
    CachedFile(const wchar_t* wide, std::string native, const FileIdentity& id, ProfileDocument parsed)
        : widePath(wide), nativePath(std::move(native)), identity(id), document(std::move(parsed)),
          bytes(document.MemoryBytes()) {}

    std::wstring widePath; // as the caller spells it, so that a hit converts nothing
    std::string nativePath;
    FileIdentity identity;
    ProfileDocument document;
    std::size_t bytes;
};

// Reads the regular file that `st` describes, whole. The first read asks for
// one byte more than its size, so an unchanged file takes one read. O_NONBLOCK
// keeps a FIFO that replaced the file after the stat() from blocking the open
// or the read. Content newer than `st` is harmless: the next call's stat()
// then differs from `st` and the file is parsed again.
bool ReadRegularFile(const char* path, const struct stat& st, std::unique_ptr<char[]>& buffer, std::size_t& used) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    const auto expected = static_cast<std::size_t>(st.st_size);
    std::size_t capacity = expected + 1;
    buffer.reset(new char[capacity]); // not zeroed: only bytes read are used
    used = 0;
    bool ok = true;
    for (;;) {
        if (used == capacity) {
            if (static_cast<off_t>(used) > kMaxFileBytes) {
                ok = false; // grew past the limit while being read
                break;
            }
            std::unique_ptr<char[]> grown(new char[capacity * 2]);
            std::memcpy(grown.get(), buffer.get(), used);
            buffer = std::move(grown);
            capacity *= 2;
        }
        const std::size_t wanted = capacity - used;
        const ssize_t got = read(fd, buffer.get() + used, wanted);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        used += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < wanted && used >= expected) {
            break; // a short read at or past the size stat() gave is the end of a regular file
        }
    }
    close(fd);
    return ok;
}

class ProfileCache {
public:
    std::shared_ptr<const ProfileDocument> Get(const wchar_t* path) {
        if (path == nullptr || path[0] == L'\0') {
            return nullptr;
        }
        std::shared_ptr<const CachedFile> known = Find(path);
        std::string converted;
        const std::string& nativePath = known != nullptr ? known->nativePath : (converted = WidePathToNative(path));
        struct stat st {};
        if (stat(nativePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
            Drop(path);
            return nullptr;
        }
        if (known != nullptr && known->identity == FileIdentity(st)) {
            const ProfileDocument* const document = &known->document;
            return std::shared_ptr<const ProfileDocument>(std::move(known), document);
        }

        // Parse outside the lock so that other files stay available meanwhile.
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        if (!ReadRegularFile(nativePath.c_str(), st, bytes, size)) {
            Drop(path);
            return nullptr;
        }
        auto file = std::make_shared<const CachedFile>(path, nativePath, FileIdentity(st),
                                                       ProfileDocument::FromBytes(std::string_view(bytes.get(), size)));

        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_parses;
        const auto stale = FindLocked(path);
        if (stale != m_files.end()) {
            m_bytes -= (*stale)->bytes;
            m_files.erase(stale);
        }
        m_files.insert(m_files.begin(), file);
        m_bytes += file->bytes;
        // Always keep the newest entry: a file larger than the budget is still
        // parsed once for all the keys read from it in a row.
        while (m_files.size() > 1 && (m_files.size() > kMaxCachedFiles || m_bytes > kMaxCachedBytes)) {
            m_bytes -= m_files.back()->bytes;
            m_files.pop_back();
        }
        const ProfileDocument* const document = &file->document;
        return std::shared_ptr<const ProfileDocument>(std::move(file), document);
    }

    ProfileCacheStats Stats() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return ProfileCacheStats{m_parses, m_files.size(), m_bytes};
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_files.clear();
        m_bytes = 0;
        m_parses = 0;
    }

private:
    using Files = std::vector<std::shared_ptr<const CachedFile>>;

    Files::iterator FindLocked(const wchar_t* path) {
        return std::find_if(m_files.begin(), m_files.end(),
                            [&](const auto& file) { return std::wcscmp(file->widePath.c_str(), path) == 0; });
    }

    // The entry of `path`, moved to the front. A loader reads one file's keys
    // in a row, so the entry is nearly always the front one already.
    std::shared_ptr<const CachedFile> Find(const wchar_t* path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = FindLocked(path);
        if (found == m_files.end()) {
            return nullptr;
        }
        std::rotate(m_files.begin(), found, found + 1);
        return m_files.front();
    }

    // Frees a file that has become unreadable.
    void Drop(const wchar_t* path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = FindLocked(path);
        if (found != m_files.end()) {
            m_bytes -= (*found)->bytes;
            m_files.erase(found);
        }
    }

    std::mutex m_mutex;
    Files m_files; // most recently used first
    std::size_t m_bytes = 0;
    std::size_t m_parses = 0;
};

ProfileCache& Cache() {
    static ProfileCache* const cache = new ProfileCache; // never destroyed: lookups may run during exit
    return *cache;
}

} // namespace

ProfileCacheStats ProfileCacheStatsForTesting() {
    return Cache().Stats();
}

void ClearProfileCacheForTesting() {
    Cache().Clear();
}

} // namespace basekit::detail

// --- Win32 entry point ------------------------------------------------------

namespace {

using basekit::detail::ProfileDocument;

// Windows removes one pair of matching quotes from the value or default.
std::wstring_view StripQuotes(std::wstring_view text) {
    if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') && text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

bool SplitsSurrogatePair(std::wstring_view text, std::size_t cut) {
    if constexpr (sizeof(wchar_t) == 2) {
        return cut > 0 && cut < text.size() && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF &&
               text[cut] >= 0xDC00 && text[cut] <= 0xDFFF;
    }
    return false;
}

// Copies at most size-1 characters and a NUL. Windows' quoted-value path drops
// a character that would fit when the inner text is exactly size-1 long; this
// reader keeps it. REQUIRES: size >= 1.
DWORD CopyText(std::wstring_view text, wchar_t* buffer, DWORD size) {
    std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    if (SplitsSurrogatePair(text, count)) {
        --count;
    }
    std::copy_n(text.data(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<DWORD>(count);
}

// Writes names as NUL-terminated strings followed by one more NUL. A list that
// does not fit is cut and ends in two NULs, and the result is size-2, as the
// Win32 enumeration forms report it. REQUIRES: size >= 1.
DWORD CopyList(const std::vector<std::wstring_view>& names, wchar_t* buffer, DWORD size) {
    std::size_t total = 0;
    for (const auto name : names) {
        total += name.size() + 1;
    }
    if (size == 1) {
        buffer[0] = L'\0';
        return 0;
    }
    std::size_t used = 0;
    if (total + 1 <= size) {
        for (const auto name : names) {
            std::copy_n(name.data(), name.size(), buffer + used);
            used += name.size();
            buffer[used++] = L'\0';
        }
        buffer[used] = L'\0';
        if (used == 0) {
            buffer[1] = L'\0'; // an empty list is still double-NUL terminated
        }
        return static_cast<DWORD>(used);
    }
    const std::size_t limit = size - 2;
    for (const auto name : names) {
        std::size_t count = std::min(name.size(), limit - used);
        const bool split = SplitsSurrogatePair(name, count);
        count -= split ? 1 : 0;
        std::copy_n(name.data(), count, buffer + used);
        used += count;
        if (split || used == limit) {
            break;
        }
        buffer[used++] = L'\0';
        if (used == limit) {
            break;
        }
    }
    buffer[used] = L'\0';
    buffer[used + 1] = L'\0';
    return static_cast<DWORD>(used);
}

// Windows drops trailing spaces (only spaces) from the default but never
// empties it: "   " becomes " ".
std::wstring_view DefaultText(LPCWSTR defaultText) {
    if (defaultText == nullptr) {
        return {};
    }
    std::wstring_view text(defaultText);
    while (text.size() > 1 && text.back() == L' ') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, DWORD size,
                               LPCWSTR fileName) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::shared_ptr<const ProfileDocument> document;
    if (fileName != nullptr) {
        document = basekit::detail::Cache().Get(fileName);
    }
    SetLastError(document ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);

    if (document != nullptr) {
        if (section == nullptr) {
            return CopyList(document->SectionNames(), buffer, size);
        }
        if (key == nullptr) {
            // Windows lists keys only for a named section, and falls back to the
            // default when there is nothing to list.
            const auto names = section[0] != L'\0' ? document->KeyNames(section) : std::vector<std::wstring_view>{};
            if (!names.empty() || section[0] == L'\0') {
                return CopyList(names, buffer, size);
            }
        } else if (key[0] != L'\0') { // Windows answers an empty key name with the default
            if (const auto value = document->Find(section, key)) {
                return CopyText(StripQuotes(*value), buffer, size);
            }
        }
    }
    return CopyText(StripQuotes(DefaultText(defaultText)), buffer, size);
}
