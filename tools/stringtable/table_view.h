// What the stringtable tool knows about a loaded set of string tables: a
// CUtilStringLoader subclass that reads the string-name table and tells where
// each looked-up text comes from, the directory listed with the loader's name
// and order rules, which file supplied each key of a language, and what the
// installation settings gave the load.
#ifndef STRINGTABLE_TABLE_VIEW_H
#define STRINGTABLE_TABLE_VIEW_H

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Util_StringLoader.h"
#include "tracekit.h"

namespace stringtable {

// Where the text that LoadStringW returns with fallback comes from.
enum class Source {
    kExact,       // the requested language's own table
    kNeutral,     // the neutral table of its primary language
    kEnglish,     // the neutral English table
    kPlaceholder, // a "Cannot load string:" text stored for a missing key
    kNone,        // nothing: LoadStringW returns an empty string
};

const char* SourceName(Source source);

struct Lookup {
    std::wstring text; // exactly what LoadStringW(language, string, true) returns
    Source source;     //
    int fromLanguage;  // the table that answered; 0 when none did
};

// How one language's own table holds one string.
enum class Entry { kText, kPlaceholder, kAbsent };

class TableInspector : public CUtilStringLoader {
public:
    // The string-table directory the installation settings name.
    bool SettingsDirectory(std::wstring* directory) const;
    // Reads one file into the language's table, as the directory scan does.
    void LoadFile(const std::filesystem::path& path, int languageID);
    // The default language from the installation settings, as a load takes it.
    void ReadDefaultLanguage() { GetDefaultLangIDFromRegistry(); }

    static constexpr int kStringCount = 24;

    // The key name that the files use for `stringID`, or null.
    static const wchar_t* KeyName(int stringID);
    // The string ID of a key name (ASCII case ignored), or -1.
    static int StringIDOfKey(std::wstring_view keyName);
    // The text the loader stores for a key that a file lacks.
    static std::wstring Placeholder(int stringID);

    // The loaded language IDs in ascending order.
    std::vector<int> Languages() const;
    bool IsLoaded(int languageID) const;

    Lookup Find(int languageID, int stringID) const;
    Entry EntryOf(int languageID, int stringID) const;
};

// Prints the library's trace records to standard error as "[level]
// file(line): message" while it lives, when `echo` is set.
class TraceEcho {
public:
    explicit TraceEcho(bool echo);
    ~TraceEcho();
    TraceEcho(const TraceEcho&) = delete;
    TraceEcho& operator=(const TraceEcho&) = delete;

private:
    bool m_echo;
};

// What the installation settings gave a load, read again with the library's
// own registry key so that a failure can be told apart: the file (on Linux),
// the key, or the value, and what is wrong with it.
struct SettingsFacts {
    std::string problem;              // why they give no directory; empty when HomeDir was read
    bool defaultFromSettings = false; // EUQDefaultLangID was read
    std::string defaultProblem;       // else why not, as `problem` words it
};

// `source` is what the messages call the settings: the file VELMORA_REGISTRY
// names on Linux, the key on Windows.
SettingsFacts InspectSettings(const std::string& source);

// One "*.cfg" entry of a string-table directory, as the loader sees it.
struct TableFile {
    std::wstring name; // the entry name (on Linux, U+DC80..U+DCFF for bytes that are not UTF-8)
    std::filesystem::path path;
    int languageID = 0; // what the name converts to; 0 when the loader skips the file
    std::string skipReason;
};

// The entries of `directory` that the loader reads, in its order: names that
// end in ".cfg" (ASCII case ignored), sorted by their upper-cased UTF-16 units,
// ties case-sensitively. Throws std::filesystem::filesystem_error when the
// directory cannot be listed.
std::vector<TableFile> ListTableFiles(const std::filesystem::path& directory);

// A path as the library takes it.
std::wstring WidePath(const std::filesystem::path& path);

// What one file of a language contributes: its own entries (read alone into a
// fresh loader) and, in the order of the load, how many keys it supplied, how
// many of its texts an earlier file's placeholder blocks, and how many an
// earlier file's text hides.
struct FileShare {
    const TableFile* file;
    std::vector<Entry> entries; // by string ID
    int texts = 0;
    int placeholders = 0;
    int blocked = 0;
    int hidden = 0;
};

// One language's coverage after the whole load: which strings its table holds
// as text, which it lacks because the value was empty, which hold a
// placeholder because the key was missing, and which file supplied each.
struct Coverage {
    int languageID;
    std::vector<FileShare> files;
    std::vector<int> present;
    std::vector<int> empty;
    std::vector<int> missing;
    std::vector<int> supplier; // by string ID: index into `files`, or -1
};

std::vector<Coverage> CoverageOf(const TableInspector& inspector, const std::vector<TableFile>& files);

} // namespace stringtable

#endif // STRINGTABLE_TABLE_VIEW_H
