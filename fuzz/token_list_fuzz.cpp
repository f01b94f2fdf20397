// Fuzzes the ';'-separated list match behind GetStringLangIDEx. The input is a
// list text and a probe text, split at the first 0xFF byte, each byte one
// character. The list is stored under one string ID of one language; every
// item of the list (the text between two ';', trimmed of space, tab, CR and
// LF, if anything is left) must be found, and a probe must be found exactly
// when it is such an item. Texts that are never items, such as an item with a
// blank added or the empty text, must not be found.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "Util_StringLoader.h"

namespace {

constexpr int kLanguage = 0x0409;
constexpr int kStringID = 21;
constexpr int kNotFound = -7; // the default language, answered when nothing matches

class FuzzLoader : public CUtilStringLoader {
public:
    explicit FuzzLoader(const std::wstring& list) {
        m_stringTables[kLanguage][kStringID] = list.c_str();
        m_stringTables[9][kStringID + 1] = list.c_str(); // under another ID, in a language searched earlier
        OverrideDefaultLangID(kNotFound);
    }
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "token_list_fuzz: %s\n", what);
        std::abort();
    }
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::set<std::wstring> Items(const std::wstring& list) {
    std::set<std::wstring> items;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(L';', begin);
        if (end == std::wstring::npos) {
            end = list.size();
        }
        std::size_t first = begin;
        std::size_t last = end;
        while (first < last && IsBlank(list[first])) {
            ++first;
        }
        while (last > first && IsBlank(list[last - 1])) {
            --last;
        }
        if (first < last) {
            items.insert(list.substr(first, last - first));
        }
        begin = end + 1;
    }
    return items;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring list;
    std::wstring probe;
    std::wstring* target = &list;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && target == &list) {
            target = &probe;
        } else if (data[i] != 0) { // stored texts and probes are C strings
            *target += static_cast<wchar_t>(data[i]);
        }
    }
    const FuzzLoader loader(list);
    const std::set<std::wstring> items = Items(list);
    const auto found = [&](const std::wstring& text) {
        const int answer = loader.GetStringLangIDEx(kStringID, text.c_str());
        Check(answer == kLanguage || answer == kNotFound, "an answer that is neither the language nor the default");
        return answer == kLanguage;
    };

    for (const std::wstring& item : items) {
        Check(found(item), "an item of the list is not found");
        Check(!found(item + L" ") && !found(L"\t" + item) && !found(item + L";"), "a text that is no item is found");
    }
    Check(!found(L""), "the empty text is found");
    Check(found(probe) == (items.count(probe) != 0), "the probe's answer differs from the list's items");
    Check(loader.GetStringLangID(kStringID, list.c_str()) == kLanguage, "the whole text is not found exactly");
    Check(loader.GetStringLangIDEx(kStringID + 2, items.empty() ? L"x" : items.begin()->c_str()) == kNotFound,
          "a text found under a string ID that no language holds");
    return 0;
}
