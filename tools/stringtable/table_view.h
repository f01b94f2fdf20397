// What the stringtable tool knows about a loaded set of string tables: a
// CUtilStringLoader subclass that reads the string-name table and tells where
// each looked-up text comes from, and a load that listens to the library's
// trace records to learn which files were read and which were skipped.
#ifndef STRINGTABLE_TABLE_VIEW_H
#define STRINGTABLE_TABLE_VIEW_H

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

struct LoadedFile {
    std::wstring path;
    int languageID;
};

struct SkippedFile {
    std::wstring name;
    std::string reason;
};

struct LoadReport {
    bool succeeded = false; // LoadAllLanguageStringTable's result
    std::vector<LoadedFile> files;
    std::vector<SkippedFile> skipped;
    std::vector<std::wstring> failures; // the other records of failures the load survived
};

// Captures trace records while it lives; with `echo`, also prints each one to
// standard error as "[level] file(line): message".
class TraceListener {
public:
    explicit TraceListener(bool echo);
    ~TraceListener();
    TraceListener(const TraceListener&) = delete;
    TraceListener& operator=(const TraceListener&) = delete;

    struct Record {
        unsigned level;
        std::wstring message;
    };
    const std::vector<Record>& records() const { return m_records; }

private:
    static void Sink(const tracekit::TraceRecord& record, void* context);
    bool m_echo;
    std::vector<Record> m_records;
};

// Loads every table of `directory` (null: of the directory the registry names)
// into `inspector`.
LoadReport LoadTables(TableInspector& inspector, const wchar_t* directory, bool echoTrace);

// The file name part of a path, after the last '/' or '\'.
std::wstring FileNameOf(const std::wstring& path);

// One language's coverage: which strings its own table holds as text, which
// it lacks because the value was empty, and which hold a placeholder because
// the key was missing.
struct Coverage {
    int languageID;
    std::vector<std::wstring> files;
    std::vector<int> present;
    std::vector<int> empty;
    std::vector<int> missing;
};

std::vector<Coverage> CoverageOf(const TableInspector& inspector, const LoadReport& report);

} // namespace stringtable

#endif // STRINGTABLE_TABLE_VIEW_H
