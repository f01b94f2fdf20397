// The INI parser behind the Linux GetPrivateProfileStringW, kept apart from the
// file system so that tests and fuzzers can feed it bytes directly. A parsed
// document answers name lookups with hash probes instead of rescanning text.
#ifndef UTIL_STRINGLOADER_PROFILE_READER_H
#define UTIL_STRINGLOADER_PROFILE_READER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace basekit::detail {

// One parsed INI file, immutable after construction and therefore safe to share
// between threads. Parsing follows Windows' reader: lines end at any run of CR
// and LF; lines are trimmed of tab..CR, ^Z and space; "[name]" up to the last
// ']' opens a section; other lines split at the first '='; there is no comment
// syntax; names compare with ASCII-only case folding; the first section of a
// name and the first key of a name in it win. Text after a NUL on a line is
// invisible to names and values. Keys before the first header belong to an
// unnamed section, which is the one a lookup of "" finds.
class ProfileDocument {
public:
    // Decodes by byte-order mark (UTF-16LE/BE, UTF-8), else UTF-8 when the whole
    // input is valid UTF-8, else Windows-1252; then parses.
    static ProfileDocument FromBytes(std::string_view bytes);
    // Parses already decoded text. Text longer than kMaxTextChars parses as empty.
    explicit ProfileDocument(std::wstring text);

    // The value of `key` in the first section named `section`, trimmed but with
    // its quotes kept, or nothing when the section or key is missing or the first
    // line of that key has no '='. The requested names are trimmed first.
    std::optional<std::wstring_view> Find(std::wstring_view section, std::wstring_view key) const;

    // Every non-empty section name in file order, repeated names included.
    std::vector<std::wstring_view> SectionNames() const;
    // The names of the keys that have a value in the first section named
    // `section`, in file order; names starting with ';' and empty names are left
    // out, as Windows' enumeration does for comments.
    std::vector<std::wstring_view> KeyNames(std::wstring_view section) const;

    // Heap bytes held by the document, for the cache's budget.
    std::size_t MemoryBytes() const;

    // Offsets are 32-bit to keep the index small.
    static constexpr std::size_t kMaxTextChars = 0xFFFFFFF0u;

private:
    struct Span {
        std::uint32_t begin;
        std::uint32_t length;
    };
    struct Section {
        Span name;
        std::uint32_t firstEntry;
        std::uint32_t entryCount;
    };
    struct Entry {
        Span name;
        Span value; // begin == kNoValue for a line without '='
        std::uint32_t section;
    };
    // Open addressing over indices into m_sections or m_entries. Each slot keeps
    // the full hash so that probes and growth never rehash text.
    struct Slot {
        std::uint32_t hash;
        std::uint32_t indexPlusOne; // 0 = empty
    };
    static constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

    void Parse();
    void AddSection(Span name);
    void AddEntry(Span name, Span value);
    void IndexEntries();
    std::wstring_view View(Span span) const { return std::wstring_view(m_text).substr(span.begin, span.length); }
    std::optional<std::uint32_t> FindSection(std::wstring_view name) const;

    std::wstring m_text;
    std::vector<Section> m_sections;
    std::vector<Entry> m_entries;
    std::vector<Slot> m_sectionSlots;
    std::vector<Slot> m_entrySlots;
    std::size_t m_indexedSections = 0;
    std::size_t m_indexedEntries = 0;
    bool m_currentSectionIndexed = true; // entries of a repeated section are never looked up
};

// Counters of the process-wide parse cache, for tests.
struct ProfileCacheStats {
    std::size_t parses;  // files parsed since the last clear
    std::size_t entries; // documents held now
    std::size_t bytes;   // their MemoryBytes() sum
};
ProfileCacheStats ProfileCacheStatsForTesting();
void ClearProfileCacheForTesting();

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_PROFILE_READER_H
