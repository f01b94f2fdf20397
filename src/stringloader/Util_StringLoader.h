// The library's public interface: CUtilStringLoader, which loads one string
// table per language and answers lookups with a fixed fallback, and
// CUtilLocaleLCIDConverter, which turns locale names into Windows language IDs
// and back.
#ifndef UTIL_STRINGLOADER_H
#define UTIL_STRINGLOADER_H

#include <cstdint>
#include <map>
#include <vector>

#include "basekit.h"
#include "util_stringloader_export.h"

// Localized UI strings of every loaded language. Lookups, queries and
// conversions are const and may run on several threads at once; loading,
// assignment and OverrideDefaultLangID must not overlap any other call on the
// same object.
class UTIL_STRINGLOADER_API CUtilStringLoader {
public:
    // One language's strings: string ID -> text.
    typedef std::map<int, basekit::WideString> StringTable;
    // Every loaded language: language ID -> its strings.
    typedef std::map<int, StringTable> StringTableMap;

    // One row of the string-name table: a key name of the string-table files
    // and the string ID its text is stored under.
    struct ID2STRINGMAPPING {
        const wchar_t* keyName;
        int stringID;
    };

    static const int LANG_ID_EN; // 9, neutral English

    CUtilStringLoader();
    CUtilStringLoader(const CUtilStringLoader& other);
    CUtilStringLoader& operator=(const CUtilStringLoader& other);
    virtual ~CUtilStringLoader();

    void OverrideDefaultLangID(int languageID);
    int GetDefaultLangID() const;

    // The text of `stringID` in exactly `languageID`; with `fallback`, else in
    // the neutral table of its primary language when that table is loaded,
    // else in neutral English (9). Empty when nothing holds it.
    basekit::WideString LoadStringW(int languageID, int stringID, bool fallback) const;

    // Loads every "*.cfg" file of `directory`; a null directory is read from
    // the registry ("HomeDir" joined with "EUQ\res"). Then reads the default
    // language from the registry. False only when no directory was given and
    // none could be read.
    bool LoadAllLanguageStringTable(const wchar_t* directory);

    // 0 on success, 87 when `count` is null, 234 when the room at `count` is
    // too small (the number of languages is then stored at `count`).
    std::uint32_t GetLanguages(std::vector<int>* languages, int* count) const;
    int MatchMostAppropriateLangID(int languageID) const;
    int GetStringLangID(int stringID, const wchar_t* text) const;
    int GetStringLangIDEx(int stringID, const wchar_t* text) const;

protected:
    bool LoadAString(int languageID, int stringID, basekit::WideString& output) const;
    bool LoadStringUsingPrimaryLangID(int languageID, int stringID, basekit::WideString& output) const;

    void LoadStringTableForLanguage(const wchar_t* path, int languageID);

    void EnumLangaugeIDAndLoadStringTables(const wchar_t* directory);
    bool GetDefaultLangIniDirectory(basekit::WideString& directory) const;
    bool GetDefaultLangIDFromRegistry();

    static const ID2STRINGMAPPING s_IDStringMapping[24];

    StringTableMap m_stringTables;
    int m_defaultLangID;
};

// Converts locale names (en, zh_tw) to Windows language IDs and back through
// two fixed tables. Stateless; safe on any thread.
class UTIL_STRINGLOADER_API CUtilLocaleLCIDConverter {
public:
    struct LOCALE_LANGID_TABLE {
        const wchar_t* pszCode;
        std::uint32_t dwLangID;
        std::uint32_t dwPrimaryLangID;
    };

    static const int LANG_EN; // 9, English

    CUtilLocaleLCIDConverter();
    CUtilLocaleLCIDConverter(const CUtilLocaleLCIDConverter& other);
    CUtilLocaleLCIDConverter& operator=(const CUtilLocaleLCIDConverter& other);
    virtual ~CUtilLocaleLCIDConverter();

    // REQUIRES: locale is not null.
    std::uint32_t LocaleToLangID(const wchar_t* locale) const;
    basekit::WideString LangIDToLocale(std::uint32_t langID) const;

protected:
    const LOCALE_LANGID_TABLE* MatchEntry(wchar_t first, wchar_t second, const LOCALE_LANGID_TABLE* table,
                                          int rowCount) const;
    const LOCALE_LANGID_TABLE* MatchEntry(std::uint32_t langID, const LOCALE_LANGID_TABLE* table, int rowCount) const;
    const LOCALE_LANGID_TABLE* MatchEntry(std::uint32_t langID, std::uint32_t primaryLangID,
                                          const LOCALE_LANGID_TABLE* table, int rowCount) const;

    static const LOCALE_LANGID_TABLE s_PrimaryLangIDTbl[69];
    static const LOCALE_LANGID_TABLE s_SubLangIDTbl[7];
};

#endif // UTIL_STRINGLOADER_H
