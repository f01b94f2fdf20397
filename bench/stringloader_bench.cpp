// Benchmarks of the string loader, each beside the baseline it is judged by:
// loading against the bare cost of reading and splitting the same files and
// against SimpleIni, lookups and queries against the same work done directly on
// a std::map store, copying against copying that store. tools/bench/run.sh
// runs them with repetitions and prints the ratios of the medians.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Header-only use: the implementation is compiled here, with ICU converting UTF-8.
#define SI_CONVERT_ICU
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "Util_StringLoader.h"
#include "platform/common/text_codec.h"
#include "table_generator.h"
#include "tracekit.h"

namespace {

using Store = std::map<int, std::map<int, std::wstring>>;

struct Fixture {
    std::string root;
    std::string mixedDir; // UTF-16LE, UTF-8 with and without BOM
    std::string utf8Dir;  // the same tables, all UTF-8 (SimpleIni reads no UTF-16)
    std::wstring mixedDirWide;
    std::wstring utf8DirWide;
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end()); // mkdtemp paths are ASCII
}

// --- Loading ------------------------------------------------------------------

// Each measured operation is one inline step, timed by its benchmark and run
// under callgrind by the count mode (main, --count=NAME).
inline std::size_t LoadOursStep(const std::wstring& directory) {
    CUtilStringLoader loader;
    loader.LoadAllLanguageStringTable(directory.c_str());
    int count = 0;
    loader.GetLanguages(nullptr, &count);
    benchmark::DoNotOptimize(loader);
    return static_cast<std::size_t>(count);
}

void LoadOurs(benchmark::State& state, const std::wstring& directory) {
    std::size_t languages = 0;
    for (auto _ : state) {
        languages = LoadOursStep(directory);
    }
    state.counters["languages"] = static_cast<double>(languages);
}

void BM_Load_Ours(benchmark::State& state) {
    LoadOurs(state, TheFixture().mixedDirWide);
}
void BM_Load_OursUtf8(benchmark::State& state) {
    LoadOurs(state, TheFixture().utf8DirWide);
}

std::vector<std::string> ListTables(const std::string& directory) {
    std::vector<std::string> paths;
    DIR* dir = opendir(directory.c_str());
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".cfg") {
            paths.push_back(directory + "/" + entry->d_name);
        }
    }
    closedir(dir);
    return paths;
}

bool ReadFile(const std::string& path, std::string& bytes) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    fstat(fd, &st);
    bytes.resize(static_cast<std::size_t>(st.st_size));
    const ssize_t got = read(fd, bytes.data(), bytes.size());
    close(fd);
    return got == st.st_size;
}

// Splits lines at '\n' and each line at its first '='; Unit is char for UTF-8
// and char16_t for UTF-16LE (read in place, no decoding).
template <typename Unit> std::size_t SplitPairs(const Unit* text, std::size_t size, std::vector<std::size_t>& pairs) {
    std::size_t count = 0;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || text[i] == Unit('\n')) {
            for (std::size_t k = lineStart; k < i; ++k) {
                if (text[k] == Unit('=')) {
                    pairs.push_back(lineStart); // key begins
                    pairs.push_back(k);         // value begins after it
                    ++count;
                    break;
                }
            }
            lineStart = i + 1;
        }
    }
    return count;
}

// The limit: list the directory, read every file whole, split it into key and
// value positions with the simplest loop. No decoding, no store.
void BM_Load_Limit(benchmark::State& state) {
    std::size_t pairCount = 0;
    std::string bytes;
    std::vector<std::size_t> pairs;
    for (auto _ : state) {
        pairCount = 0;
        for (const std::string& path : ListTables(TheFixture().mixedDir)) {
            if (!ReadFile(path, bytes)) {
                continue;
            }
            pairs.clear();
            if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
                pairCount +=
                    SplitPairs(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2, pairs);
            } else {
                pairCount += SplitPairs(bytes.data(), bytes.size(), pairs);
            }
            benchmark::DoNotOptimize(pairs.data());
        }
    }
    state.counters["pairs"] = static_cast<double>(pairCount);
}

// Reaches the loader's string-name table.
class KeyTable : public CUtilStringLoader {
public:
    static const ID2STRINGMAPPING* Rows() { return s_IDStringMapping; }
    static constexpr std::size_t kRows = sizeof(s_IDStringMapping) / sizeof(s_IDStringMapping[0]);
};

// The least decoding these files need, without validation: UTF-16LE after its
// byte-order mark (surrogate pairs joined), else UTF-8 (after its mark, if any).
// Writes into `text`, whose capacity is kept from file to file.
void DecodeLeast(const std::string& bytes, std::wstring& text) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t used = 0;
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        text.resize((size - 2) / 2);
        for (std::size_t i = 2; i + 1 < size; i += 2) {
            char32_t unit = b[i] | (b[i + 1] << 8);
            if (basekit::detail::IsHighSurrogate(unit) && i + 3 < size) {
                unit = basekit::detail::JoinSurrogates(unit, b[i + 2] | (b[i + 3] << 8));
                i += 2;
            }
            text[used++] = static_cast<wchar_t>(unit);
        }
    } else {
        std::size_t i = size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
        text.resize(size - i);
        while (i < size) {
            const unsigned lead = b[i];
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (i + length > size) {
                break;
            }
            char32_t cp = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k) {
                cp = (cp << 6) | (b[i + k] & 0x3Fu);
            }
            text[used++] = static_cast<wchar_t>(cp);
            i += length;
        }
    }
    text.resize(used);
}

// The limit plus the store: what the limit does, and the least more that fills
// the store. Each file is decoded to wchar_t, split into key=value lines (a
// line's CR and the blanks around '=' dropped), and each key is looked up in a
// hash map of the 24 key names made once; a hit stores the value, the first
// text of a string ID kept, in the same two-level std::map the loader builds.
class LimitPlusStore {
public:
    LimitPlusStore() {
        for (std::size_t row = 0; row < KeyTable::kRows; ++row) {
            m_keys.emplace(KeyTable::Rows()[row].keyName, KeyTable::Rows()[row].stringID);
        }
    }

    // One load; returns the number of texts stored.
    std::size_t Step() {
        Store store;
        DIR* dir = opendir(TheFixture().mixedDir.c_str());
        while (const dirent* entry = readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.size() <= 4 || name.substr(name.size() - 4) != ".cfg" ||
                !ReadFile(TheFixture().mixedDir + "/" + entry->d_name, m_bytes)) {
                continue;
            }
            const std::wstring locale(name.begin(), name.end() - 4);
            auto& table = store[static_cast<int>(m_converter.LocaleToLangID(locale.c_str()))];
            DecodeLeast(m_bytes, m_text);
            std::wstring_view rest = m_text;
            while (!rest.empty()) {
                const std::size_t end = std::min(rest.find(L'\n'), rest.size());
                std::wstring_view line = rest.substr(0, end);
                rest.remove_prefix(std::min(end + 1, rest.size()));
                const std::size_t equals = line.find(L'=');
                if (equals == std::wstring_view::npos) {
                    continue;
                }
                std::wstring_view key = line.substr(0, equals);
                std::wstring_view value = line.substr(equals + 1);
                while (!key.empty() && key.back() == L' ') {
                    key.remove_suffix(1);
                }
                while (!value.empty() && (value.front() == L' ')) {
                    value.remove_prefix(1);
                }
                while (!value.empty() && (value.back() == L'\r' || value.back() == L' ')) {
                    value.remove_suffix(1);
                }
                const auto row = m_keys.find(key);
                if (row != m_keys.end() && !value.empty()) {
                    table.emplace(row->second, value);
                }
            }
        }
        closedir(dir);
        std::size_t stored = 0;
        for (const auto& language : store) {
            stored += language.second.size();
        }
        benchmark::DoNotOptimize(store);
        return stored;
    }

private:
    std::unordered_map<std::wstring_view, int> m_keys;
    const CUtilLocaleLCIDConverter m_converter;
    std::string m_bytes;
    std::wstring m_text;
};

void BM_Load_LimitPlusStore(benchmark::State& state) {
    LimitPlusStore limit;
    std::size_t stored = 0;
    for (auto _ : state) {
        stored = limit.Step();
    }
    state.counters["texts"] = static_cast<double>(stored);
}

std::u16string ToUtf16(const wchar_t* text) {
    std::u16string out;
    for (; *text != L'\0'; ++text) {
        out += static_cast<char16_t>(*text); // key names are ASCII
    }
    return out;
}

std::wstring FromUtf16(const UChar* text) {
    std::wstring out;
    for (; *text != 0; ++text) {
        const auto unit = static_cast<char32_t>(*text);
        if (basekit::detail::IsHighSurrogate(unit) && basekit::detail::IsLowSurrogate(text[1])) {
            out += static_cast<wchar_t>(basekit::detail::JoinSurrogates(unit, text[1]));
            ++text;
        } else {
            out += static_cast<wchar_t>(unit);
        }
    }
    return out;
}

// SimpleIni doing the loader's job: list the directory, take each file's
// language from its name, read the 24 keys and store them by language.
void BM_Load_SimpleIni(benchmark::State& state) {
    std::vector<std::u16string> keys;
    std::vector<std::u16string> defaults;
    for (std::size_t row = 0; row < KeyTable::kRows; ++row) {
        keys.push_back(ToUtf16(KeyTable::Rows()[row].keyName));
        defaults.push_back(u"Cannot load string:" + keys.back());
    }
    const std::u16string section = u"Strings";
    std::size_t languages = 0;
    for (auto _ : state) {
        Store store;
        const CUtilLocaleLCIDConverter converter;
        DIR* dir = opendir(TheFixture().utf8Dir.c_str());
        while (const dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() <= 4 || name.substr(name.size() - 4) != ".cfg") {
                continue;
            }
            const int languageID =
                static_cast<int>(converter.LocaleToLangID(Widen(name.substr(0, name.size() - 4)).c_str()));
            CSimpleIniW ini;
            ini.SetUnicode(true);
            ini.LoadFile((TheFixture().utf8Dir + "/" + name).c_str());
            auto& table = store[languageID];
            for (std::size_t row = 0; row < KeyTable::kRows; ++row) {
                const UChar* value = ini.GetValue(reinterpret_cast<const UChar*>(section.c_str()),
                                                  reinterpret_cast<const UChar*>(keys[row].c_str()),
                                                  reinterpret_cast<const UChar*>(defaults[row].c_str()));
                if (value != nullptr && *value != 0) {
                    table.emplace(KeyTable::Rows()[row].stringID, FromUtf16(value));
                }
            }
        }
        closedir(dir);
        languages = store.size();
        benchmark::DoNotOptimize(store);
    }
    state.counters["languages"] = static_cast<double>(languages);
}

// --- Lookups --------------------------------------------------------------------

const CUtilStringLoader& Loaded() {
    static const CUtilStringLoader loader = [] {
        CUtilStringLoader made;
        made.LoadAllLanguageStringTable(TheFixture().mixedDirWide.c_str());
        return made;
    }();
    return loader;
}

// The same texts in a plain std::map store, for the floors.
const Store& Floor() {
    static const Store store = [] {
        Store made;
        int count = 0;
        Loaded().GetLanguages(nullptr, &count);
        std::vector<int> languages(static_cast<std::size_t>(count));
        Loaded().GetLanguages(&languages, &count);
        for (const int language : languages) {
            auto& table = made[language];
            for (int id = 0; id < 24; ++id) {
                table.emplace(id, Loaded().LoadStringW(language, id, false).str());
            }
        }
        return made;
    }();
    return store;
}

constexpr int kSpamFolder = 14;

inline void LookupOursStep(const CUtilStringLoader& loader, int language) {
    benchmark::DoNotOptimize(language);
    basekit::WideString text = loader.LoadStringW(language, kSpamFolder, true);
    benchmark::DoNotOptimize(text);
}

// The floor: the same steps on the bare std::map store. `probes` are the
// tables the fallback rule consults in order (the requested language, its
// neutral table, English); the last one answers, the ones before it miss.
inline void LookupFloorStep(const Store& store, const std::vector<int>& probes) {
    benchmark::DoNotOptimize(probes.data());
    auto table = store.end();
    for (const int probe : probes) {
        table = store.find(probe);
        if (table != store.end()) {
            break;
        }
    }
    std::wstring text = table->second.find(kSpamFolder)->second;
    benchmark::DoNotOptimize(text);
}

void LookupOurs(benchmark::State& state, int language, int answeringTable) {
    const CUtilStringLoader& loader = Loaded();
    if (loader.LoadStringW(language, kSpamFolder, true).str() != Floor().at(answeringTable).at(kSpamFolder)) {
        state.SkipWithError("the lookup does not answer from the expected table");
        return;
    }
    for (auto _ : state) {
        LookupOursStep(loader, language);
    }
}

void LookupFloor(benchmark::State& state, const std::vector<int>& probes) {
    const Store& store = Floor();
    for (auto _ : state) {
        LookupFloorStep(store, probes);
    }
}

// 0x0804 is loaded; 0x0c04 is not, but its neutral table 4 is; 0x0442 has no
// table of its primary language, so English (9) answers.
void BM_LoadStringW_Exact(benchmark::State& state) {
    LookupOurs(state, 0x0804, 0x0804);
}
void BM_LoadStringW_ExactFloor(benchmark::State& state) {
    LookupFloor(state, {0x0804});
}
void BM_LoadStringW_Neutral(benchmark::State& state) {
    LookupOurs(state, 0x0c04, 0x0004);
}
void BM_LoadStringW_NeutralFloor(benchmark::State& state) {
    LookupFloor(state, {0x0c04, 0x0004});
}
// The answering table alone: what the two fallback steps cost on top of it.
void BM_LoadStringW_NeutralOneFind(benchmark::State& state) {
    LookupFloor(state, {0x0004});
}
void BM_LoadStringW_English(benchmark::State& state) {
    LookupOurs(state, 0x0442, 0x0009);
}
void BM_LoadStringW_EnglishFloor(benchmark::State& state) {
    LookupFloor(state, {0x0442, 0x0042, 0x0009});
}
void BM_LoadStringW_EnglishOneFind(benchmark::State& state) {
    LookupFloor(state, {0x0009});
}

// --- Queries --------------------------------------------------------------------

constexpr int kInboxNames = 21;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring_view TrimBlanks(std::wstring_view item) {
    while (!item.empty() && IsBlank(item.front())) {
        item.remove_prefix(1);
    }
    while (!item.empty() && IsBlank(item.back())) {
        item.remove_suffix(1);
    }
    return item;
}

// The last item of the inbox-name list of the last language in ascending
// order: the query has to look at every language before it finds it.
const std::wstring& TextOfLastLanguage(int* language) {
    static int lastLanguage = 0;
    static const std::wstring text = [] {
        const auto last = Floor().rbegin();
        lastLanguage = last->first;
        std::wstring_view list = last->second.at(kInboxNames);
        return std::wstring(TrimBlanks(list.substr(list.rfind(L';') + 1)));
    }();
    *language = lastLanguage;
    return text;
}

void BM_GetStringLangIDEx(benchmark::State& state) {
    int expected = 0;
    const std::wstring& text = TextOfLastLanguage(&expected);
    const CUtilStringLoader& loader = Loaded();
    if (loader.GetStringLangIDEx(kInboxNames, text.c_str()) != expected) {
        state.SkipWithError("GetStringLangIDEx does not find the last language");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(loader.GetStringLangIDEx(kInboxNames, text.c_str()));
    }
}

// The floor: the same walk over the std::map store, splitting each stored text
// at ';' with std::wstring_view::find, trimming the four blanks and comparing.
// This is the least a correct answer needs without an index by text.
int FloorStringLangIDEx(const Store& store, int stringID, std::wstring_view text, int noMatch) {
    for (const auto& [language, table] : store) {
        const auto entry = table.find(stringID);
        if (entry == table.end()) {
            continue;
        }
        std::wstring_view rest = entry->second;
        for (;;) {
            const std::size_t end = rest.find(L';');
            const std::wstring_view item = TrimBlanks(rest.substr(0, end));
            if (!item.empty() && item == text) {
                return language;
            }
            if (end == std::wstring_view::npos) {
                break;
            }
            rest.remove_prefix(end + 1);
        }
    }
    return noMatch;
}

void BM_GetStringLangIDEx_Floor(benchmark::State& state) {
    int expected = 0;
    const std::wstring& text = TextOfLastLanguage(&expected);
    const Store& store = Floor();
    if (FloorStringLangIDEx(store, kInboxNames, text, 9) != expected) {
        state.SkipWithError("the floor does not find the last language");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(FloorStringLangIDEx(store, kInboxNames, text, 9));
    }
}

// 0x0c07 is not loaded; its neutral table 7 (German) is.
constexpr int kUnloadedGerman = 0x0c07;

inline void MatchOursStep(const CUtilStringLoader& loader, int language) {
    benchmark::DoNotOptimize(language);
    benchmark::DoNotOptimize(loader.MatchMostAppropriateLangID(language));
}

// The floor: the lookup that misses and one lookup of the neutral ID, which is
// all a store whose IDs never exceed 16 bits would need.
inline void MatchFloorStep(const Store& store, int language) {
    benchmark::DoNotOptimize(language);
    int answer = 0;
    if (store.find(language) != store.end()) {
        answer = language;
    } else if (store.find(language & 0x3ff) != store.end()) {
        answer = language & 0x3ff;
    }
    benchmark::DoNotOptimize(answer);
}

void BM_MatchMostAppropriateLangID_Miss(benchmark::State& state) {
    const CUtilStringLoader& loader = Loaded();
    if (loader.MatchMostAppropriateLangID(kUnloadedGerman) != 7) {
        state.SkipWithError("unexpected answer");
        return;
    }
    for (auto _ : state) {
        MatchOursStep(loader, kUnloadedGerman);
    }
}

void BM_MatchMostAppropriateLangID_MissFloor(benchmark::State& state) {
    const Store& store = Floor();
    for (auto _ : state) {
        MatchFloorStep(store, kUnloadedGerman);
    }
}

// --- Instruction counts ---------------------------------------------------------

// Runs `step` n times. Out of line so that callgrind can count exactly these
// calls: tools/bench/instructions.sh collects inside CountedLoop only.
template <typename Step> [[gnu::noinline]] void CountedLoop(int n, Step step) {
    for (int i = 0; i < n; ++i) {
        step();
    }
}

// --count=NAME: runs one operation or its baseline a fixed number of times,
// for callgrind, instead of the benchmarks. Returns false for an unknown name.
bool RunCount(const std::string& name) {
    constexpr int kLookups = 100000;
    constexpr int kLoads = 10;
    const CUtilStringLoader& loader = Loaded();
    const Store& store = Floor();
    const auto lookup = [&](int language) { CountedLoop(kLookups, [&] { LookupOursStep(loader, language); }); };
    const auto floor = [&](std::vector<int> probes) { CountedLoop(kLookups, [&] { LookupFloorStep(store, probes); }); };
    if (name == "exact") {
        lookup(0x0804);
    } else if (name == "exact-floor") {
        floor({0x0804});
    } else if (name == "neutral") {
        lookup(0x0c04);
    } else if (name == "neutral-floor") {
        floor({0x0c04, 0x0004});
    } else if (name == "english") {
        lookup(0x0442);
    } else if (name == "english-floor") {
        floor({0x0442, 0x0042, 0x0009});
    } else if (name == "match") {
        CountedLoop(kLookups, [&] { MatchOursStep(loader, kUnloadedGerman); });
    } else if (name == "match-floor") {
        CountedLoop(kLookups, [&] { MatchFloorStep(store, kUnloadedGerman); });
    } else if (name == "load") {
        CountedLoop(kLoads, [] { LoadOursStep(TheFixture().mixedDirWide); });
    } else if (name == "load-floor") {
        LimitPlusStore limit;
        CountedLoop(kLoads, [&limit] { limit.Step(); });
    } else {
        return false;
    }
    return true;
}

// --- Copying and tracing ------------------------------------------------------------

void BM_CopyLoader(benchmark::State& state) {
    const CUtilStringLoader& loader = Loaded();
    for (auto _ : state) {
        CUtilStringLoader copy(loader);
        benchmark::DoNotOptimize(copy);
    }
}

void BM_CopyLoader_Floor(benchmark::State& state) {
    const Store& store = Floor();
    for (auto _ : state) {
        Store copy(store);
        benchmark::DoNotOptimize(copy);
    }
}

// One trace record with nobody listening, with the arguments of the busiest
// record of a load ("ID: %d, Str:%s", written once per key).
void BM_TraceLog_NoListener(benchmark::State& state) {
    const wchar_t* text = L"Spam Mail";
    for (auto _ : state) {
        benchmark::DoNotOptimize(text);
        tracekit::TraceLog(nullptr, 0x102, L".\\Util_StringLoader", 1, L"ID: %d, Str:%s", 14, text);
    }
}

BENCHMARK(BM_Load_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_OursUtf8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_Limit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_LimitPlusStore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_SimpleIni)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadStringW_Exact);
BENCHMARK(BM_LoadStringW_ExactFloor);
BENCHMARK(BM_LoadStringW_Neutral);
BENCHMARK(BM_LoadStringW_NeutralFloor);
BENCHMARK(BM_LoadStringW_NeutralOneFind);
BENCHMARK(BM_LoadStringW_English);
BENCHMARK(BM_LoadStringW_EnglishFloor);
BENCHMARK(BM_LoadStringW_EnglishOneFind);
BENCHMARK(BM_GetStringLangIDEx);
BENCHMARK(BM_GetStringLangIDEx_Floor);
BENCHMARK(BM_MatchMostAppropriateLangID_Miss);
BENCHMARK(BM_MatchMostAppropriateLangID_MissFloor);
BENCHMARK(BM_CopyLoader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyLoader_Floor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceLog_NoListener);

void RemoveTree(const std::string& directory) {
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                const std::string path = directory + "/" + name;
                struct stat st {};
                if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    RemoveTree(path);
                } else {
                    unlink(path.c_str());
                }
            }
        }
        closedir(dir);
    }
    rmdir(directory.c_str());
}

void PrintStats(const char* title, const bench::TableSetStats& stats) {
    std::printf("%s: %zu files (%zu UTF-16LE with BOM, %zu UTF-8 with BOM, %zu UTF-8), %zu keys each, "
                "%zu bytes in all (%zu to %zu per file), %zu characters of text\n",
                title, stats.files, stats.utf16LeFiles, stats.utf8BomFiles, stats.utf8Files, stats.keysPerFile,
                stats.totalBytes, stats.smallestFile, stats.largestFile, stats.textChars);
}

} // namespace

int main(int argc, char** argv) {
    // Nobody listens to the trace: the figures are those of a production service.
    unsetenv("VELMORA_TRACE");

    Fixture& fixture = TheFixture();
    char pattern[] = "/tmp/ul_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    fixture.root = pattern;
    fixture.mixedDir = fixture.root + "/res";
    fixture.utf8Dir = fixture.root + "/res_utf8";
    fixture.mixedDirWide = Widen(fixture.mixedDir);
    fixture.utf8DirWide = Widen(fixture.utf8Dir);
    mkdir(fixture.mixedDir.c_str(), 0700);
    mkdir(fixture.utf8Dir.c_str(), 0700);

    // The installation settings the load reads after its scan.
    const std::string registry = fixture.root + "/registry.reg";
    if (std::FILE* file = std::fopen(registry.c_str(), "wb")) {
        std::fprintf(file,
                     "Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n"
                     "\"HomeDir\"=\"%s\"\r\n\"EUQDefaultLangID\"=dword:00000009\r\n\r\n",
                     fixture.root.c_str());
        std::fclose(file);
    }
    setenv("VELMORA_REGISTRY", registry.c_str(), 1);

    int status = 0;
    try {
        const bench::TableSetStats mixed = bench::WriteStringTables(fixture.mixedDir, false);
        const bench::TableSetStats utf8 = bench::WriteStringTables(fixture.utf8Dir, true);
        PrintStats("string tables", mixed);
        PrintStats("UTF-8 twins  ", utf8);
        std::printf("scripts (files):");
        for (const std::string& line : mixed.scripts) {
            std::printf(" %s;", line.c_str());
        }
        std::printf("\n");
        std::fflush(stdout);

        if (argc == 2 && std::string_view(argv[1]).substr(0, 8) == "--count=") {
            if (!RunCount(argv[1] + 8)) {
                std::fprintf(stderr, "unknown count: %s\n", argv[1] + 8);
                status = 1;
            }
        } else {
            benchmark::Initialize(&argc, argv);
            if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
                status = 1;
            } else {
                benchmark::RunSpecifiedBenchmarks();
                benchmark::Shutdown();
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        status = 1;
    }
    RemoveTree(fixture.root);
    return status;
}
