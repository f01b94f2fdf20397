// The stringtable tool's view of a loaded set of tables. Source classification
// repeats the fallback steps of LoadStringW through the protected members that
// LoadStringW itself uses, so the tool reports what the library does rather
// than a second opinion. Files read and skipped are learned from the trace
// records of the load, the only place where the library reports them.
#include "table_view.h"

#include <cstdio>
#include <cwchar>
#include <map>

#include "terminal_text.h"

namespace stringtable {

namespace {

constexpr int kPrimaryLangMask = 0x3ff;
constexpr unsigned kTraceEnter = 0x110;
constexpr unsigned kTraceFailure = 0x1003;

constexpr std::wstring_view kPlaceholderPrefix = L"Cannot load string:";
constexpr std::wstring_view kFileEntryPrefix = L"CUtilStringLoader::LoadAllLanguageStringTable, ini path: ";
constexpr std::wstring_view kFileEntryLanguage = L", LANDID: ";
constexpr std::wstring_view kSkipPrefix = L"Invalid string table file ";
constexpr std::wstring_view kSkipSuffix = L", skip file";
constexpr std::wstring_view kShortName = L"Locale string size < 2";
constexpr std::wstring_view kUnknownCode = L"Can't match any of the primary lang id";

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// Why the scan skipped a file, from the converter's record just before it.
std::string SkipReason(const std::wstring& converterRecord) {
    if (converterRecord == kShortName) {
        return "the name before .cfg has fewer than two characters";
    }
    if (converterRecord == kUnknownCode) {
        return "the name does not start with a known language code";
    }
    return "the name gives no language";
}

} // namespace

const char* SourceName(Source source) {
    switch (source) {
    case Source::kExact:
        return "exact";
    case Source::kNeutral:
        return "neutral";
    case Source::kEnglish:
        return "english";
    case Source::kPlaceholder:
        return "placeholder";
    case Source::kNone:
        break;
    }
    return "none";
}

const wchar_t* TableInspector::KeyName(int stringID) {
    for (const auto& row : s_IDStringMapping) {
        if (row.stringID == stringID) {
            return row.keyName;
        }
    }
    return nullptr;
}

int TableInspector::StringIDOfKey(std::wstring_view keyName) {
    for (const auto& row : s_IDStringMapping) {
        if (EqualsIgnoringAsciiCase(row.keyName, keyName)) {
            return row.stringID;
        }
    }
    return -1;
}

std::wstring TableInspector::Placeholder(int stringID) {
    const wchar_t* key = KeyName(stringID);
    return std::wstring(kPlaceholderPrefix) + (key != nullptr ? key : L"");
}

std::vector<int> TableInspector::Languages() const {
    int count = 0;
    if (GetLanguages(nullptr, &count) != 0 || count <= 0) {
        return {};
    }
    std::vector<int> languages(static_cast<std::size_t>(count));
    if (GetLanguages(&languages, &count) != 0) {
        return {};
    }
    return languages;
}

bool TableInspector::IsLoaded(int languageID) const {
    return m_stringTables.count(languageID) != 0;
}

Lookup TableInspector::Find(int languageID, int stringID) const {
    Lookup lookup{LoadStringW(languageID, stringID, true).str(), Source::kNone, 0};
    basekit::WideString probe(L"");
    if (LoadAString(languageID, stringID, probe)) {
        lookup.source = Source::kExact;
        lookup.fromLanguage = languageID;
    } else if (LoadStringUsingPrimaryLangID(languageID, stringID, probe)) {
        // A loaded neutral table ends the search even when it lacks the string.
        lookup.source = probe.empty() ? Source::kNone : Source::kNeutral;
        lookup.fromLanguage = probe.empty() ? 0 : (languageID & kPrimaryLangMask);
    } else if (LoadStringUsingPrimaryLangID(LANG_ID_EN, stringID, probe) && !probe.empty()) {
        lookup.source = Source::kEnglish;
        lookup.fromLanguage = LANG_ID_EN;
    }
    if (lookup.source != Source::kNone && lookup.text == Placeholder(stringID)) {
        lookup.source = Source::kPlaceholder;
    }
    return lookup;
}

Entry TableInspector::EntryOf(int languageID, int stringID) const {
    basekit::WideString text(L"");
    if (!LoadAString(languageID, stringID, text)) {
        return Entry::kAbsent;
    }
    return text.str() == Placeholder(stringID) ? Entry::kPlaceholder : Entry::kText;
}

TraceListener::TraceListener(bool echo) : m_echo(echo) {
    tracekit::SetTraceSink(&TraceListener::Sink, this);
}

TraceListener::~TraceListener() {
    tracekit::SetTraceSink(nullptr, nullptr);
}

void TraceListener::Sink(const tracekit::TraceRecord& record, void* context) {
    auto* self = static_cast<TraceListener*>(context);
    self->m_records.push_back({record.level, record.message != nullptr ? record.message : L""});
    if (self->m_echo) {
        const std::string line = Utf8FromWide(record.sourceFile != nullptr ? record.sourceFile : L"") + "(" +
                                 std::to_string(record.line) + "): " + Printable(Utf8FromWide(record.message));
        std::fprintf(stderr, "[%04x] %s\n", record.level, line.c_str());
    }
}

LoadReport LoadTables(TableInspector& inspector, const wchar_t* directory, bool echoTrace) {
    LoadReport report;
    TraceListener listener(echoTrace);
    report.succeeded = inspector.LoadAllLanguageStringTable(directory);

    std::wstring converterRecord;
    for (const auto& record : listener.records()) {
        const std::wstring_view message = record.message;
        if (record.level == kTraceEnter && StartsWith(message, kFileEntryPrefix)) {
            const std::size_t language = message.rfind(kFileEntryLanguage);
            if (language != std::wstring_view::npos && language >= kFileEntryPrefix.size()) {
                const std::wstring path(message.substr(kFileEntryPrefix.size(), language - kFileEntryPrefix.size()));
                const std::wstring number(message.substr(language + kFileEntryLanguage.size()));
                report.files.push_back({path, static_cast<int>(std::wcstol(number.c_str(), nullptr, 10))});
            }
        } else if (record.level == kTraceFailure) {
            if (message == kShortName || message == kUnknownCode) {
                converterRecord = message;
            } else if (StartsWith(message, kSkipPrefix) && message.size() >= kSkipPrefix.size() + kSkipSuffix.size() &&
                       message.substr(message.size() - kSkipSuffix.size()) == kSkipSuffix) {
                const std::wstring name(
                    message.substr(kSkipPrefix.size(), message.size() - kSkipPrefix.size() - kSkipSuffix.size()));
                report.skipped.push_back({name, SkipReason(converterRecord)});
                converterRecord.clear();
            } else {
                report.failures.emplace_back(message);
            }
        }
    }
    return report;
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"/\\");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::vector<Coverage> CoverageOf(const TableInspector& inspector, const LoadReport& report) {
    std::map<int, std::vector<std::wstring>> filesByLanguage;
    for (const auto& file : report.files) {
        filesByLanguage[file.languageID].push_back(FileNameOf(file.path));
    }
    std::vector<Coverage> result;
    for (const int language : inspector.Languages()) {
        Coverage coverage{language, filesByLanguage[language], {}, {}, {}};
        for (int id = 0; id < TableInspector::kStringCount; ++id) {
            switch (inspector.EntryOf(language, id)) {
            case Entry::kText:
                coverage.present.push_back(id);
                break;
            case Entry::kPlaceholder:
                coverage.missing.push_back(id);
                break;
            case Entry::kAbsent:
                coverage.empty.push_back(id);
                break;
            }
        }
        result.push_back(std::move(coverage));
    }
    return result;
}

} // namespace stringtable
