// The stringtable tool's view of a loaded set of tables. Source classification
// repeats the fallback steps of LoadStringW through the protected members that
// LoadStringW itself uses, so the tool reports what the library does rather
// than a second opinion. Which files a load reads is learned by listing the
// directory with the scan's own rules and reading each file alone through the
// library's file reader, never from the wording of trace records; why the
// installation settings failed, likewise, from the codes of the library's own
// registry key.
#include "table_view.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "terminal_text.h"

namespace stringtable {

namespace {

constexpr int kPrimaryLangMask = 0x3ff;
constexpr std::wstring_view kPlaceholderPrefix = L"Cannot load string:";
#ifdef _WIN32
constexpr bool kBackslashIsName = false; // a separator, never part of a name
#else
constexpr bool kBackslashIsName = true;
#endif

// The settings key, opened as the library opens it: the 64-bit view first.
constexpr const wchar_t* kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
constexpr std::uint32_t kKeyRead = 0x20019; // KEY_READ
constexpr std::uint32_t kKeyWow64Bit = 0x100;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorBadDb = 1009;
constexpr long kErrorUnsupportedType = 1630;
constexpr std::uintmax_t kMaxRegistryFileBytes = std::uintmax_t{16} << 20;

HKEY__* LocalMachine() {
#ifdef _WIN32
    return HKEY_LOCAL_MACHINE;
#else
    return reinterpret_cast<HKEY__*>(static_cast<std::uintptr_t>(0x80000002u)); // as the Linux stand-in defines it
#endif
}

// Why the settings key cannot be opened. On Linux the key lives in a file, so
// the file is looked at first: missing, unreadable, too large or no export.
std::string OpenProblem(long code, const std::string& source) {
#ifndef _WIN32
    std::error_code error;
    const std::filesystem::path file(source);
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
        return "the file does not exist";
    }
    if (!std::filesystem::is_regular_file(status)) {
        return std::string("the file cannot be read: it is ") +
               (std::filesystem::is_directory(status) ? "a directory" : "not a regular file");
    }
    if (std::filesystem::file_size(file, error) > kMaxRegistryFileBytes) {
        return "the file is over 16 MiB: refused, as the library refuses it";
    }
    if (code == kErrorAccessDenied) {
        errno = 0;
        const std::ifstream probe(file, std::ios::binary);
        return std::string("the file cannot be read: ") + (errno != 0 ? std::strerror(errno) : "access denied");
    }
    if (code == kErrorBadDb) {
        return "the file is not a registry export: its first line is neither \"Windows Registry Editor Version "
               "5.00\" nor \"REGEDIT4\" (a UTF-16 file needs its byte-order mark)";
    }
    if (code == kErrorFileNotFound) {
        return "the file has no key [HKEY_LOCAL_MACHINE\\" + Utf8FromWide(kSettingsKeyPath) + "]";
    }
#else
    (void)source;
    if (code == kErrorFileNotFound) {
        return "the key does not exist";
    }
    if (code == kErrorAccessDenied) {
        return "the key cannot be read: access denied";
    }
#endif
    return "the key cannot be opened (error " + std::to_string(code) + ")";
}

std::string ValueProblem(long code, const char* name, const char* types) {
    if (code == kErrorFileNotFound) {
        return std::string("the key has no ") + name + " value";
    }
    if (code == kErrorUnsupportedType) {
        return std::string(name) + " is not a " + types + " value";
    }
    return std::string(name) + " cannot be read (error " + std::to_string(code) + ")";
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

// The upper-cased UTF-16 units of a name: the order in which NTFS, and the
// loader's search on Linux, list a directory.
std::u16string SortKey(const std::wstring& name) {
    std::u16string key;
    for (const wchar_t c : name) {
        const auto upper = static_cast<char32_t>(std::towupper(static_cast<std::wint_t>(c)));
        if (upper >= 0x10000) {
            key += static_cast<char16_t>(0xD800 + ((upper - 0x10000) >> 10));
            key += static_cast<char16_t>(0xDC00 + ((upper - 0x10000) & 0x3FF));
        } else {
            key += static_cast<char16_t>(upper);
        }
    }
    return key;
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

bool TableInspector::SettingsDirectory(std::wstring* directory) const {
    basekit::WideString text(L"");
    if (!GetDefaultLangIniDirectory(text) || text.c_str() == nullptr) {
        return false;
    }
    *directory = text.c_str();
    return true;
}

SettingsFacts InspectSettings(const std::string& source) {
    SettingsFacts facts;
    basekit::RegistryKey key;
    long code = key.Open(LocalMachine(), kSettingsKeyPath, kKeyRead | kKeyWow64Bit);
    if (code != 0) {
        code = key.Open(LocalMachine(), kSettingsKeyPath, kKeyRead);
    }
    if (code != 0) {
        facts.problem = OpenProblem(code, source);
        facts.defaultProblem = facts.problem;
        return facts;
    }
    basekit::WideString homeDir(L"");
    code = key.QueryValue(L"HomeDir", homeDir);
    facts.problem = code == 0 ? "" : ValueProblem(code, "HomeDir", "string (REG_SZ or REG_EXPAND_SZ)");
    std::uint32_t language = 0;
    code = key.QueryValue(language, L"EUQDefaultLangID");
    facts.defaultFromSettings = code == 0;
    facts.defaultProblem = code == 0 ? "" : ValueProblem(code, "EUQDefaultLangID", "REG_DWORD");
    return facts;
}

void TableInspector::LoadFile(const std::filesystem::path& path, int languageID) {
    LoadStringTableForLanguage(WidePath(path).c_str(), languageID);
}

// A trace text as one unambiguous line, as the library's own trace
// destinations write it: a backslash is doubled, so that a "\x1b" in the
// text cannot pass for an escaped control.
static std::string TraceText(const wchar_t* text) {
    std::wstring doubled;
    for (const wchar_t c : std::wstring_view(text != nullptr ? text : L"")) {
        doubled += c;
        if (c == L'\\') {
            doubled += c;
        }
    }
    return Printable(std::wstring_view(doubled));
}

TraceEcho::TraceEcho(bool echo) : m_echo(echo) {
    if (m_echo) {
        tracekit::SetTraceSink(
            [](const tracekit::TraceRecord& record, void*) {
                const std::string line = TraceText(record.sourceFile) + "(" + std::to_string(record.line) +
                                         "): " + TraceText(record.message);
                std::fprintf(stderr, "[%04x] %s\n", record.level, line.c_str());
            },
            nullptr);
    }
}

TraceEcho::~TraceEcho() {
    if (m_echo) {
        tracekit::SetTraceSink(nullptr, nullptr);
    }
}

std::wstring WidePath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return WideFromUtf8(path.native());
#endif
}

std::vector<TableFile> ListTableFiles(const std::filesystem::path& directory) {
    std::vector<std::pair<std::u16string, TableFile>> found;
    const CUtilLocaleLCIDConverter converter;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        TableFile file;
        file.path = entry.path();
        file.name = WidePath(entry.path().filename());
        if (file.name.size() < 4 ||
            !EqualsIgnoringAsciiCase(std::wstring_view(file.name).substr(file.name.size() - 4), L".cfg")) {
            continue;
        }
        const std::wstring base = file.name.substr(0, file.name.rfind(L'.'));
        const auto language = static_cast<int>(converter.LocaleToLangID(base.c_str()));
        if (kBackslashIsName && file.name.find(L'\\') != std::wstring::npos) {
            file.skipReason = "the name holds '\\', which no Windows file name can and the library takes for a "
                              "separator, so its search passes over the file";
        } else if ((language & kPrimaryLangMask) != 0) {
            file.languageID = language;
        } else {
            file.skipReason = base.size() < 2 ? "the name before .cfg has fewer than two characters"
                                              : "the name does not start with a known language code";
        }
        found.emplace_back(SortKey(file.name), std::move(file));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
    });
    std::vector<TableFile> files;
    for (auto& item : found) {
        files.push_back(std::move(item.second));
    }
    return files;
}

std::vector<Coverage> CoverageOf(const TableInspector& inspector, const std::vector<TableFile>& files) {
    std::vector<Coverage> result;
    for (const int language : inspector.Languages()) {
        Coverage coverage{language, {}, {}, {}, {}, std::vector<int>(TableInspector::kStringCount, -1)};
        for (const TableFile& file : files) {
            if (file.languageID != language) {
                continue;
            }
            FileShare share{&file, {}};
            TableInspector alone;
            alone.LoadFile(file.path, language);
            for (int id = 0; id < TableInspector::kStringCount; ++id) {
                share.entries.push_back(alone.EntryOf(language, id));
            }
            coverage.files.push_back(std::move(share));
        }
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
            // An add never replaces a stored text, so the first file that has
            // the key, even as a placeholder, decides it.
            int& supplier = coverage.supplier[static_cast<std::size_t>(id)];
            for (std::size_t i = 0; i < coverage.files.size(); ++i) {
                FileShare& share = coverage.files[i];
                const Entry entry = share.entries[static_cast<std::size_t>(id)];
                if (entry == Entry::kAbsent) {
                    continue;
                }
                if (supplier < 0) {
                    supplier = static_cast<int>(i);
                    (entry == Entry::kText ? share.texts : share.placeholders) += 1;
                } else if (entry == Entry::kText) {
                    const Entry first =
                        coverage.files[static_cast<std::size_t>(supplier)].entries[static_cast<std::size_t>(id)];
                    (first == Entry::kPlaceholder ? share.blocked : share.hidden) += 1;
                }
            }
        }
        result.push_back(std::move(coverage));
    }
    return result;
}

} // namespace stringtable
