// CUtilStringLoader and CUtilLocaleLCIDConverter. Divisions, in the order the
// data flows: the store and the lookup; the string-table file reader; the
// directory scan and the installation settings; the language queries; the
// locale converter. Platform calls come through win32_api.h, so this file has
// no conditional code of its own.
#include "Util_StringLoader.h"

#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>

#include "platform/common/module_handle.h"
#include "platform/common/text_codec.h"
#include "tracekit.h"
#include "win32_api.h"

using basekit::WideString;

namespace {

// Every trace record names this source file, as the suite's other modules do.
constexpr const wchar_t* kTraceSourceFile = L".\\Util_StringLoader";

constexpr unsigned kTraceEnter = 0x110;
constexpr unsigned kTraceExit = 0x111;
constexpr unsigned kTraceStringRead = 0x102;
constexpr unsigned kTraceFailure = 0x1003;

#define UL_TRACE(level, ...)                                                                                           \
    tracekit::TraceLog(basekit::detail::ThisModuleHandle(), (level), kTraceSourceFile, __LINE__, __VA_ARGS__)

// Language ID fields: primary language in bits 0-9, sub-language in bits 10-15.
constexpr int kPrimaryLangMask = 0x3ff;
constexpr int kSubLangMask = 0xfc00;
// A neutral ID of primary language P is one whose bits 0-15 are exactly P.
static_assert((kPrimaryLangMask | kSubLangMask) == 0xffff, "the two fields fill the 16-bit LANGID");

// Visits, in ascending order, every stored language ID that is a neutral ID of
// `primary`: its bits 0-15 are exactly `primary` (sub-language bits zero), so
// the candidates lie 0x10000 apart. Instead of walking every language, the
// walk jumps with lower_bound to the next candidate of each 64K block that
// holds IDs; with the usual 16-bit IDs that is one lookup.
template <typename Tables, typename Visit> void ForEachNeutralOf(const Tables& tables, int primary, Visit visit) {
    if (tables.empty()) {
        return;
    }
    constexpr long long kBlock = 0x10000;
    const auto candidateFrom = [primary](long long id) {
        // The first ID at or above `id` whose low 16 bits are `primary`.
        long long candidate = (id & ~(kBlock - 1)) | primary;
        return candidate < id ? candidate + kBlock : candidate;
    };
    const long long last = tables.rbegin()->first;
    long long candidate = candidateFrom(tables.begin()->first);
    while (candidate <= last) {
        const auto found = tables.lower_bound(static_cast<int>(candidate));
        if (found == tables.end()) {
            return;
        }
        if (found->first == candidate) {
            visit(*found);
            candidate += kBlock;
        } else {
            candidate = candidateFrom(found->first);
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Store and lookup
// ---------------------------------------------------------------------------

const int CUtilStringLoader::LANG_ID_EN = 9;

CUtilStringLoader::CUtilStringLoader() : m_defaultLangID(LANG_ID_EN) {}

CUtilStringLoader::CUtilStringLoader(const CUtilStringLoader& other)
    : m_stringTables(other.m_stringTables), m_defaultLangID(other.m_defaultLangID) {}

CUtilStringLoader& CUtilStringLoader::operator=(const CUtilStringLoader& other) {
    if (this != &other) {
        // The old store goes first: a copy that runs out of memory leaves an
        // empty store and the previous default language, never a mixture.
        m_stringTables.clear();
        m_stringTables = other.m_stringTables;
        m_defaultLangID = other.m_defaultLangID;
    }
    return *this;
}

CUtilStringLoader::~CUtilStringLoader() = default;

void CUtilStringLoader::OverrideDefaultLangID(int languageID) {
    m_defaultLangID = languageID;
}

int CUtilStringLoader::GetDefaultLangID() const {
    return m_defaultLangID;
}

bool CUtilStringLoader::LoadAString(int languageID, int stringID, WideString& output) const {
    const auto table = m_stringTables.find(languageID);
    if (table == m_stringTables.end()) {
        return false;
    }
    const auto entry = table->second.find(stringID);
    if (entry == table->second.end()) {
        return false;
    }
    output = entry->second;
    return true;
}

namespace {

// True for the usual store: every language ID within 0..0xFFFF, as the IDs
// made from locale names are. Then `primary` itself is the only neutral ID of
// its language, and one find answers where the general walk would be needed.
// The map keeps its first and last nodes at hand, so this costs no search.
bool AllIDsWithin16Bits(const CUtilStringLoader::StringTableMap& tables) {
    return tables.empty() || (tables.begin()->first >= 0 && tables.rbegin()->first <= 0xFFFF);
}

// The text of `stringID` in the neutral tables of `primary`: several stored IDs
// can share the low 16 bits (they differ above bit 15); each is consulted in
// ascending order and the last holder of the string wins. Null when none holds
// it; `loaded` tells whether any neutral table of `primary` is loaded.
const WideString* FindNeutralText(const CUtilStringLoader::StringTableMap& tables, int primary, int stringID,
                                  bool* loaded) {
    // One find in the usual store: the protected step, which the C interface's
    // fallback lookups take, then costs 1.21 instead of 1.27 times LoadStringW
    // for an English answer (bench/c_interface_bench.cpp, three rounds).
    if (AllIDsWithin16Bits(tables)) {
        const auto table = tables.find(primary);
        *loaded = table != tables.end();
        if (!*loaded) {
            return nullptr;
        }
        const auto entry = table->second.find(stringID);
        return entry != table->second.end() ? &entry->second : nullptr;
    }
    const WideString* text = nullptr;
    *loaded = false;
    ForEachNeutralOf(tables, primary, [&](const auto& language) {
        *loaded = true;
        const auto entry = language.second.find(stringID);
        if (entry != language.second.end()) {
            text = &entry->second;
        }
    });
    return text;
}

} // namespace

bool CUtilStringLoader::LoadStringUsingPrimaryLangID(int languageID, int stringID, WideString& output) const {
    bool neutralTableLoaded = false;
    const WideString* text =
        FindNeutralText(m_stringTables, languageID & kPrimaryLangMask, stringID, &neutralTableLoaded);
    if (text != nullptr) {
        output = *text;
    }
    return neutralTableLoaded;
}

namespace {

// The fallback steps of LoadStringW: the neutral table of the primary language
// if one is loaded, else neutral English. Null when neither holds the string.
// Out of line, so that the exact lookup, which nearly every call ends with,
// keeps a small frame: inlined, it took 1.08 times its floor's time instead
// of 0.99 (three interleaved rounds).
[[gnu::noinline]] const WideString* FallbackText(const CUtilStringLoader::StringTableMap& tables, int languageID,
                                                 int stringID) {
    // The usual store, tested once for both steps, with no call between them:
    // this takes the English fallback from 1.28 to 1.10 times the instructions
    // of the same finds on a bare std::map (callgrind). The first find goes
    // before the test, whose rbegin() is a call, so that the two overlap.
    auto neutral = tables.find(languageID & kPrimaryLangMask);
    if (AllIDsWithin16Bits(tables)) {
        if (neutral == tables.end()) {
            neutral = tables.find(CUtilStringLoader::LANG_ID_EN);
            if (neutral == tables.end()) {
                return nullptr;
            }
        }
        const auto entry = neutral->second.find(stringID);
        return entry != neutral->second.end() ? &entry->second : nullptr;
    }
    bool neutralTableLoaded = false;
    const WideString* text = FindNeutralText(tables, languageID & kPrimaryLangMask, stringID, &neutralTableLoaded);
    if (!neutralTableLoaded) {
        // English answers only when no neutral table of the primary language is loaded.
        text = FindNeutralText(tables, CUtilStringLoader::LANG_ID_EN, stringID, &neutralTableLoaded);
    }
    return text;
}

} // namespace

WideString CUtilStringLoader::LoadStringW(int languageID, int stringID, bool fallback) const {
    // The steps of LoadAString and LoadStringUsingPrimaryLangID, with the text
    // found copied once, straight into the result.
    const auto table = m_stringTables.find(languageID);
    if (table != m_stringTables.end()) {
        const auto entry = table->second.find(stringID);
        if (entry != table->second.end()) {
            return entry->second;
        }
    }
    const WideString* text = fallback ? FallbackText(m_stringTables, languageID, stringID) : nullptr;
    return text != nullptr ? *text : WideString();
}

// ---------------------------------------------------------------------------
// String-table file reader
// ---------------------------------------------------------------------------

// Rows 4 and 5 carry IDs 5 and 4: callers have always asked for the example
// label by ID 4 and the exclude-list label by ID 5.
const CUtilStringLoader::ID2STRINGMAPPING CUtilStringLoader::s_IDStringMapping[24] = {
    {L"IDS_APPROVE_SENDER_FORM_UI_TITLE", 0},
    {L"IDS_APPROVE_SENDER_FORM_UI_CANCEL_CONFIRM_MSG", 1},
    {L"IDS_APPROVE_SENDER_FORM_UI_FRAME", 2},
    {L"IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_LABEL", 3},
    {L"IDS_APPROVE_SENDER_FORM_UI_EXCLUDE_LIST_LABEL", 5},
    {L"IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL", 4},
    {L"IDS_APPROVE_SENDER_FORM_UI_ADD_BUTTON", 6},
    {L"IDS_APPROVE_SENDER_FORM_UI_REMOVE_BUTTON", 7},
    {L"IDS_APPROVE_SENDER_FORM_UI_APPLY_BITTON", 8},
    {L"IDS_APPROVE_SENDER_FORM_UI_CANCEL_BUTTON", 9},
    {L"IDS_APPROVE_SENDER_FORM_ERR_EXCEED_MAX_SIZE", 10},
    {L"IDS_ACTION_APPROVE_SENDER", 11},
    {L"IDS_ACTION_VIEW_APPROVE_SENDER_LIST", 12},
    {L"IDS_APPROVED_SENDER_FOLDER_NAME", 13},
    {L"IDS_SPAM_FOLDER_NAME", 14},
    {L"IDS_SPAM_FOLDER_FORM_DISPLAYNAME", 15},
    {L"IDS_APPROVED_SENDER_FORM_DISPLAYNAME", 16},
    {L"IDS_APPROVE_SENDER_FORM_MSG_SUBJECT", 17},
    {L"IDS_EUQ_MONITOR_SERVICE_NAME", 18},
    {L"IDS_EUQ_SETUP_SERVICE_NAME", 19},
    {L"IDS_INBOX_FOLDER_NAME", 20},
    {L"IDS_INBOX_FOLDER_NAME_LIST", 21},
    {L"IDS_SD_PRIMARY_MAILBOX", 22},
    {L"IDS_SD_ARCHIVE_MAILBOX", 23},
};

// The 24 reads of one file go through one basekit::detail::ProfileFile (see
// win32_api.h). On Linux it reads and splits the file once, when it is made,
// so every key comes from the file as it was at that instant: a file rewritten
// during the load (by a trace sink, say) is seen whole at the next load. On
// Windows each read is one real GetPrivateProfileStringW call.
void CUtilStringLoader::LoadStringTableForLanguage(const wchar_t* path, int languageID) {
    UL_TRACE(kTraceEnter, L"CUtilStringLoader::LoadAllLanguageStringTable, ini path: %s, LANDID: %d", path, languageID);

    // From here on the language counts as loaded, whatever the file holds.
    StringTable& table = m_stringTables.emplace(languageID, StringTable()).first->second;
    const basekit::detail::ProfileFile file(path);

    // Missing keys are stored as "Cannot load string:<key>" so that a gap in a
    // translation shows in the UI instead of silently falling back. The text is
    // rebuilt in one string for each key: the prefix stays, the key name follows.
    std::wstring defaultText(L"Cannot load string:");
    const std::size_t prefixChars = defaultText.size();
    defaultText.reserve(prefixChars + 64);
    constexpr DWORD kBufferChars = 0x400;
    wchar_t buffer[kBufferChars];
    for (const ID2STRINGMAPPING& row : s_IDStringMapping) {
        defaultText.resize(prefixChars);
        defaultText += row.keyName;
        buffer[0] = L'\0';
        const DWORD length = file.GetString(L"Strings", row.keyName, defaultText.c_str(), buffer, kBufferChars);
        if (length == 0) {
            continue; // an empty value: no text in this language, lookups fall back
        }
        // emplace keeps the first text of a string ID; a later file only fills gaps.
        // The rows come nearly in ascending ID order, so the end is the hint.
        table.emplace_hint(table.end(), row.stringID, WideString(buffer));
        UL_TRACE(kTraceStringRead, L"ID: %d, Str:%s", row.stringID, buffer);
    }

    UL_TRACE(kTraceExit, L"CUtilStringLoader::LoadAllLanguageStringTable");
}

// ---------------------------------------------------------------------------
// Directory scan and installation settings
// ---------------------------------------------------------------------------

namespace {

constexpr const wchar_t* kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
constexpr std::uint32_t kReadAccess64BitView = KEY_READ | KEY_WOW64_64KEY; // 0x20119
constexpr std::uint32_t kReadAccess = KEY_READ;                            // 0x20019

// Closes a file search when the scan ends, also when an allocation failure
// passes through the scan: the search handle owns the directory listing.
class SearchCloser {
public:
    explicit SearchCloser(HANDLE search) : m_search(search) {}
    ~SearchCloser() {
        if (m_search != INVALID_HANDLE_VALUE) {
            FindClose(m_search);
        }
    }
    SearchCloser(const SearchCloser&) = delete;
    SearchCloser& operator=(const SearchCloser&) = delete;

private:
    HANDLE m_search;
};

// Opens the settings key: the 64-bit view first, then without a view flag,
// tracing each failure. On failure the key is closed and false returned.
bool OpenSettingsKey(basekit::RegistryKey& key) {
    const long firstResult = key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kReadAccess64BitView);
    if (firstResult == 0) {
        return true;
    }
    UL_TRACE(kTraceFailure, L"Cannot read key %s with KEY_WOW64_64KEY, code: %d", kSettingsKeyPath,
             static_cast<int>(firstResult));
    const long secondResult = key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kReadAccess);
    if (secondResult == 0) {
        return true;
    }
    UL_TRACE(kTraceFailure, L"Cannot read key %s, code: %d", kSettingsKeyPath, static_cast<int>(secondResult));
    key.Close();
    return false;
}

} // namespace

bool CUtilStringLoader::LoadAllLanguageStringTable(const wchar_t* directory) {
    if (directory != nullptr) {
        UL_TRACE(kTraceEnter, L"CUtilStringLoader::LoadStringtable, ini path: %s", directory);
    } else {
        UL_TRACE(kTraceEnter, L"CUtilStringLoader::LoadStringtable, ini path not given, read path from registry");
    }

    bool result = true;
    WideString registryDirectory(L"");
    const wchar_t* scanDirectory = directory;
    if (directory == nullptr) {
        if (!GetDefaultLangIniDirectory(registryDirectory)) {
            result = false;
        }
        scanDirectory = result ? registryDirectory.c_str() : nullptr;
    }
    if (scanDirectory != nullptr) {
        EnumLangaugeIDAndLoadStringTables(scanDirectory);
        GetDefaultLangIDFromRegistry();
    }

    UL_TRACE(kTraceExit, L"CUtilStringLoader::LoadStringtable");
    return result;
}

void CUtilStringLoader::EnumLangaugeIDAndLoadStringTables(const wchar_t* directory) {
    UL_TRACE(kTraceEnter, L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables, ini path: %s", directory);

    WideString pattern(L"");
    pattern.Format(L"%s\\*.cfg", directory);
    WideString path(L"");
    const CUtilLocaleLCIDConverter converter;

    WIN32_FIND_DATAW findData;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &findData);
    const SearchCloser closer(search);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const WideString localeName = basekit::FileBaseName(findData.cFileName);
            const auto languageID = static_cast<int>(converter.LocaleToLangID(localeName.c_str()));
            if ((languageID & kPrimaryLangMask) != 0) {
                path = basekit::JoinPath(directory, findData.cFileName);
                LoadStringTableForLanguage(path.c_str(), languageID);
            } else {
                UL_TRACE(kTraceFailure, L"Invalid string table file %s, skip file", findData.cFileName);
            }
        } while (FindNextFileW(search, &findData) != 0);
    }

    UL_TRACE(kTraceExit, L"CUtilStringLoader::EnumLangaugeIDAndLoadStringTables");
}

bool CUtilStringLoader::GetDefaultLangIniDirectory(WideString& directory) const {
    basekit::RegistryKey key;
    if (!OpenSettingsKey(key)) {
        return false;
    }
    WideString homeDir(L"");
    const long readResult = key.QueryValue(L"HomeDir", homeDir);
    const bool found = readResult == 0;
    if (found) {
        directory = basekit::JoinPath(homeDir.c_str(), L"EUQ\\res");
    } else {
        UL_TRACE(kTraceFailure, L"Cannot query value %s, code: %d", L"HomeDir", static_cast<int>(readResult));
    }
    key.Close();
    return found;
}

bool CUtilStringLoader::GetDefaultLangIDFromRegistry() {
    basekit::RegistryKey key;
    if (!OpenSettingsKey(key)) {
        return false;
    }
    std::uint32_t value = 0;
    const long readResult = key.QueryValue(value, L"EUQDefaultLangID");
    const bool found = readResult == 0;
    if (found) {
        m_defaultLangID = static_cast<int>(value); // all 32 bits, no range test
    } else {
        UL_TRACE(kTraceFailure, L"Cannot query value %s, code: %d", L"EUQDefaultLangID", static_cast<int>(readResult));
    }
    key.Close();
    return found;
}

// ---------------------------------------------------------------------------
// Language queries
// ---------------------------------------------------------------------------

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// True when `text` equals one item of the ";"-separated `list`: the text
// between two ';' less the blanks at its ends (blanks inside an item belong to
// it). An all-blank stretch is no item, so the empty text is in no list.
bool IsTokenInList(std::wstring_view list, std::wstring_view text) {
    if (text.empty()) {
        return false;
    }
    for (;;) {
        const std::size_t end = list.find(L';'); // wmemchr
        std::wstring_view item = list.substr(0, end);
        while (!item.empty() && IsBlank(item.front())) {
            item.remove_prefix(1);
        }
        while (!item.empty() && IsBlank(item.back())) {
            item.remove_suffix(1);
        }
        if (item == text) {
            return true;
        }
        if (end == std::wstring_view::npos) {
            return false;
        }
        list.remove_prefix(end + 1);
    }
}

} // namespace

std::uint32_t CUtilStringLoader::GetLanguages(std::vector<int>* languages, int* count) const {
    constexpr std::uint32_t kErrorInvalidParameter = 87;
    constexpr std::uint32_t kErrorMoreData = 234;
    if (count == nullptr) {
        return kErrorInvalidParameter;
    }
    const auto languageCount = static_cast<int>(m_stringTables.size());
    if (languages == nullptr) {
        *count = languageCount;
        return 0;
    }
    if (*count < languageCount) {
        *count = languageCount;
        return kErrorMoreData;
    }
    // The room offered is enough but the vector itself is shorter: grow it
    // rather than write past its end. Elements it already holds keep their
    // places; nothing beyond the answer is touched.
    if (languages->size() < m_stringTables.size()) {
        languages->resize(m_stringTables.size());
    }
    std::size_t index = 0;
    for (const auto& language : m_stringTables) {
        (*languages)[index++] = language.first;
    }
    return 0;
}

int CUtilStringLoader::MatchMostAppropriateLangID(int languageID) const {
    if (m_stringTables.find(languageID) != m_stringTables.end()) {
        return languageID;
    }
    // In the usual store the primary language's own ID is the one neutral ID
    // there can be, and a find answers instead of the walk (180 instructions
    // down to 160; two finds on a bare std::map take 133, callgrind). The find
    // comes before the store's range check, whose rbegin() is a call into the
    // C++ library, so that the two overlap: the miss then takes 1.17 times the
    // floor's time instead of 1.31.
    const int primary = languageID & kPrimaryLangMask;
    const bool primaryLoaded = m_stringTables.find(primary) != m_stringTables.end();
    if (AllIDsWithin16Bits(m_stringTables)) {
        return primaryLoaded ? primary : 0;
    }
    int answer = 0;
    ForEachNeutralOf(m_stringTables, primary, [&answer](const auto& language) {
        answer = language.first; // the last qualifying ID in ascending order wins
    });
    return answer;
}

namespace {

// The first loaded language, in ascending order, whose text for `stringID`
// satisfies `matches`; `noMatch` otherwise.
template <typename Matches>
int FindLanguageOfText(const CUtilStringLoader::StringTableMap& tables, int stringID, int noMatch, Matches matches) {
    for (const auto& language : tables) {
        const auto entry = language.second.find(stringID);
        if (entry != language.second.end() && matches(std::wstring_view(entry->second.str()))) {
            return language.first;
        }
    }
    return noMatch;
}

} // namespace

int CUtilStringLoader::GetStringLangID(int stringID, const wchar_t* text) const {
    if (text == nullptr) {
        return m_defaultLangID;
    }
    const std::wstring_view wanted(text); // measured once for every language
    return FindLanguageOfText(m_stringTables, stringID, m_defaultLangID,
                              [wanted](std::wstring_view stored) { return stored == wanted; });
}

int CUtilStringLoader::GetStringLangIDEx(int stringID, const wchar_t* text) const {
    if (text == nullptr) {
        return m_defaultLangID;
    }
    const std::wstring_view wanted(text);
    return FindLanguageOfText(m_stringTables, stringID, m_defaultLangID,
                              [wanted](std::wstring_view stored) { return IsTokenInList(stored, wanted); });
}

// ---------------------------------------------------------------------------
// Locale converter
// ---------------------------------------------------------------------------

const int CUtilLocaleLCIDConverter::LANG_EN = 9;

const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE CUtilLocaleLCIDConverter::s_PrimaryLangIDTbl[69] = {
    {L"af", 0x36, 0}, {L"sq", 0x1c, 0}, {L"ar", 0x01, 0}, {L"hy", 0x2b, 0}, {L"as", 0x4d, 0}, {L"az", 0x2c, 0},
    {L"eu", 0x2d, 0}, {L"bn", 0x45, 0}, {L"bg", 0x02, 0}, {L"be", 0x23, 0}, {L"ca", 0x03, 0}, {L"zh", 0x04, 0},
    {L"hr", 0x1a, 0}, {L"cs", 0x05, 0}, {L"da", 0x06, 0}, {L"nl", 0x13, 0}, {L"en", 0x09, 0}, {L"et", 0x25, 0},
    {L"fo", 0x38, 0}, {L"fa", 0x29, 0}, {L"fi", 0x0b, 0}, {L"fr", 0x0c, 0}, {L"gl", 0x56, 0}, {L"ka", 0x37, 0},
    {L"de", 0x07, 0}, {L"el", 0x08, 0}, {L"gu", 0x47, 0}, {L"he", 0x0d, 0}, {L"hi", 0x39, 0}, {L"hu", 0x0e, 0},
    {L"is", 0x0f, 0}, {L"id", 0x21, 0}, {L"it", 0x10, 0}, {L"ja", 0x11, 0}, {L"kn", 0x4b, 0}, {L"ks", 0x60, 0},
    {L"kk", 0x3f, 0}, {L"ky", 0x40, 0}, {L"ko", 0x12, 0}, {L"lt", 0x27, 0}, {L"mk", 0x2f, 0}, {L"ms", 0x3e, 0},
    {L"ml", 0x4c, 0}, {L"mr", 0x4e, 0}, {L"mn", 0x50, 0}, {L"ne", 0x61, 0}, {L"no", 0x14, 0}, {L"or", 0x48, 0},
    {L"pl", 0x15, 0}, {L"pt", 0x16, 0}, {L"pa", 0x46, 0}, {L"ro", 0x18, 0}, {L"ru", 0x19, 0}, {L"sa", 0x4f, 0},
    {L"sd", 0x59, 0}, {L"sk", 0x1b, 0}, {L"sl", 0x24, 0}, {L"es", 0x0a, 0}, {L"sw", 0x41, 0}, {L"sv", 0x1d, 0},
    {L"ta", 0x49, 0}, {L"tt", 0x44, 0}, {L"te", 0x4a, 0}, {L"th", 0x1e, 0}, {L"tr", 0x1f, 0}, {L"uk", 0x22, 0},
    {L"ur", 0x20, 0}, {L"uz", 0x43, 0}, {L"vi", 0x2a, 0},
};

const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE CUtilLocaleLCIDConverter::s_SubLangIDTbl[7] = {
    {L"tw", 0x01, 0x04}, {L"cn", 0x02, 0x04}, {L"gb", 0x02, 0x09}, {L"us", 0x01, 0x09},
    {L"ca", 0x03, 0x0c}, {L"br", 0x01, 0x16}, {L"es", 0x01, 0x0a},
};

namespace {

constexpr int kPrimaryRowCount = 69;
constexpr int kSubRowCount = 7;

// Locale names are counted in UTF-16 units, as on Windows; where wchar_t is
// 32-bit a character above U+FFFF counts twice.
std::size_t Utf16Length(const wchar_t* text, bool* allSingleUnits) {
    std::size_t units = 0;
    *allSingleUnits = true;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        const bool pair = (static_cast<unsigned long>(*p) >> 16) != 0; // never true for a 16-bit wchar_t
        units += pair ? 2 : 1;
        *allSingleUnits = *allSingleUnits && !pair;
    }
    return units;
}

} // namespace

CUtilLocaleLCIDConverter::CUtilLocaleLCIDConverter() = default;
CUtilLocaleLCIDConverter::CUtilLocaleLCIDConverter(const CUtilLocaleLCIDConverter&) = default;
CUtilLocaleLCIDConverter& CUtilLocaleLCIDConverter::operator=(const CUtilLocaleLCIDConverter&) = default;
CUtilLocaleLCIDConverter::~CUtilLocaleLCIDConverter() = default;

const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE*
CUtilLocaleLCIDConverter::MatchEntry(wchar_t first, wchar_t second, const LOCALE_LANGID_TABLE* table,
                                     int rowCount) const {
    for (int row = 0; row < rowCount; ++row) {
        const wchar_t* code = table[row].pszCode;
        // Only 'a'..'z' fold, whatever the process locale: the default-locale toupper rule.
        using basekit::detail::AsciiUpper;
        if (AsciiUpper(code[0]) == AsciiUpper(first) && AsciiUpper(code[1]) == AsciiUpper(second)) {
            return &table[row];
        }
    }
    return nullptr;
}

const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE*
CUtilLocaleLCIDConverter::MatchEntry(std::uint32_t langID, const LOCALE_LANGID_TABLE* table, int rowCount) const {
    for (int row = 0; row < rowCount; ++row) {
        if (table[row].dwLangID == langID) {
            return &table[row];
        }
    }
    return nullptr;
}

const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE*
CUtilLocaleLCIDConverter::MatchEntry(std::uint32_t langID, std::uint32_t primaryLangID,
                                     const LOCALE_LANGID_TABLE* table, int rowCount) const {
    for (int row = 0; row < rowCount; ++row) {
        if (table[row].dwLangID == langID && table[row].dwPrimaryLangID == primaryLangID) {
            return &table[row];
        }
    }
    return nullptr;
}

std::uint32_t CUtilLocaleLCIDConverter::LocaleToLangID(const wchar_t* locale) const {
    bool allSingleUnits = true;
    const std::size_t length = Utf16Length(locale, &allSingleUnits);
    if (length < 2) {
        UL_TRACE(kTraceFailure, L"Locale string size < 2");
        return 0;
    }
    const LOCALE_LANGID_TABLE* primary = MatchEntry(locale[0], locale[1], s_PrimaryLangIDTbl, kPrimaryRowCount);
    if (primary == nullptr) {
        UL_TRACE(kTraceFailure, L"Can't match any of the primary lang id");
        return 0;
    }
    std::uint32_t subLanguage = 0;
    // Only a five-unit name carries a region, in units 4 and 5; unit 3 may be
    // anything. With a character above U+FFFF in the name, units 4 and 5 are
    // not both letters, so no region can match.
    if (length == 5 && allSingleUnits) {
        const LOCALE_LANGID_TABLE* region = MatchEntry(locale[3], locale[4], s_SubLangIDTbl, kSubRowCount);
        if (region != nullptr) {
            subLanguage = region->dwLangID;
        }
    }
    return ((subLanguage & 0xffffu) << 10) | (primary->dwLangID & 0xffffu);
}

WideString CUtilLocaleLCIDConverter::LangIDToLocale(std::uint32_t langID) const {
    WideString result(L"");
    const std::uint32_t low16 = langID & 0xffffu;
    const std::uint32_t primaryID = low16 & static_cast<std::uint32_t>(kPrimaryLangMask);
    const std::uint32_t subID = low16 >> 10;
    const LOCALE_LANGID_TABLE* primary = MatchEntry(primaryID, s_PrimaryLangIDTbl, kPrimaryRowCount);
    if (primary == nullptr) {
        return result;
    }
    result = primary->pszCode;
    const LOCALE_LANGID_TABLE* region = MatchEntry(subID, primaryID, s_SubLangIDTbl, kSubRowCount);
    if (region != nullptr) {
        result += L"_";
        result += region->pszCode;
    }
    return result;
}
