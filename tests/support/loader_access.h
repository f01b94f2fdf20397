// A CUtilStringLoader that opens its protected members to tests and lets a
// test put texts straight into the store, so lookup and query tests need no
// files.
#ifndef UTIL_STRINGLOADER_LOADER_ACCESS_H
#define UTIL_STRINGLOADER_LOADER_ACCESS_H

#include <string>

#include "Util_StringLoader.h"

namespace testsupport {

class LoaderAccess : public CUtilStringLoader {
public:
    using CUtilStringLoader::EnumLangaugeIDAndLoadStringTables;
    using CUtilStringLoader::GetDefaultLangIniDirectory;
    using CUtilStringLoader::LoadAString;
    using CUtilStringLoader::LoadStringTableForLanguage;
    using CUtilStringLoader::LoadStringUsingPrimaryLangID;
    using CUtilStringLoader::m_stringTables;
    using CUtilStringLoader::s_IDStringMapping;

    // Makes `languageID` loaded (with an empty table if it was not).
    LoaderAccess& AddLanguage(int languageID) {
        m_stringTables[languageID];
        return *this;
    }
    // Stores a text; replaces an earlier one, which the library itself never does.
    LoaderAccess& AddText(int languageID, int stringID, const wchar_t* text) {
        m_stringTables[languageID][stringID] = text;
        return *this;
    }
    // A [Strings] section valued `tag` and the key's string ID. With `gaps`,
    // IDs n with n % 5 == 2 have an empty value and those with n % 7 == 3 no line.
    static std::wstring TableText(const std::wstring& tag, bool gaps = false) {
        std::wstring text = L"[Strings]\n";
        for (const auto& row : s_IDStringMapping) {
            const int id = row.stringID;
            if (!gaps || id % 7 != 3) {
                text +=
                    std::wstring(row.keyName) + L"=" + (gaps && id % 5 == 2 ? L"" : tag + std::to_wstring(id)) + L"\n";
            }
        }
        return text;
    }
    const StringTable* Table(int id) const { return m_stringTables.count(id) != 0 ? &m_stringTables.at(id) : nullptr; }
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_LOADER_ACCESS_H
