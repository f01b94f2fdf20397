// Out-of-memory behaviour: this binary replaces the global operator new so that,
// when armed, the N-th allocation from then on fails (once), and walks N over
// every allocation of a copy, an assignment, a one-file load and a directory
// load. Each step must end without a crash and without a leak (allocations are
// counted here; LSan checks the same under the asan preset), in the state the
// loader promises:
// - a failed copy leaves the source as it was (the copy itself never exists);
// - a failed assignment leaves the target with an empty store and its previous
//   default language;
// - a failed load keeps every table and text held before it, and what it did
//   add is a prefix of what the same load adds when memory suffices, in file
//   and row order. The profile reader lets an allocation failure pass as an
//   exception instead of answering with the default text, so no placeholder
//   ever stands in for a text that the file holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <utility>

#ifdef _WIN32
#include <malloc.h>
#endif
#include <vector>

#ifndef _WIN32
#include "platform/posix/profile_reader.h"
#endif
#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"

// --- The failing allocator ---------------------------------------------------

namespace {

std::atomic<bool> g_armed{false};
std::atomic<bool> g_fired{false};
std::atomic<long> g_countdown{0};
std::atomic<long> g_live{0}; // allocations not yet freed

// The Linux profile reader keeps parsed files in a cache whose allocations
// would count as leaks of the step that filled it. The Windows reader
// allocates from its own heap, out of sight of operator new.
void ClearProfileCache() {
#ifndef _WIN32
    basekit::detail::ClearProfileCacheForTesting();
#endif
}

void* Allocate(std::size_t size, std::size_t alignment) {
    if (g_armed.load() && g_countdown.fetch_sub(1) == 0) {
        g_armed = false;
        g_fired = true;
        return nullptr;
    }
    size = size == 0 ? 1 : size;
#ifdef _WIN32
    // The Windows C runtime has no aligned_alloc; _aligned_malloc serves every
    // allocation instead, so that Release frees them all alike.
    void* memory = _aligned_malloc(size, alignment < __STDCPP_DEFAULT_NEW_ALIGNMENT__ ? __STDCPP_DEFAULT_NEW_ALIGNMENT__
                                                                                      : alignment);
#else
    void* memory = alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__
                       ? std::malloc(size)
                       : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
    if (memory != nullptr) {
        ++g_live;
    }
    return memory;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
    void* memory = Allocate(size, alignment);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void Release(void* memory) noexcept {
    if (memory != nullptr) {
        --g_live;
#ifdef _WIN32
        _aligned_free(memory);
#else
        std::free(memory);
#endif
    }
}

} // namespace

void* operator new(std::size_t size) {
    return AllocateOrThrow(size, 0);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* memory) noexcept {
    Release(memory);
}
void operator delete[](void* memory) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    Release(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    Release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    Release(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(memory);
}

namespace {

using testsupport::LoaderAccess;
using testsupport::TempDir;
using Store = CUtilStringLoader::StringTableMap;

// No walk of these operations comes near this many allocations; reaching it
// means the armed failure is swallowed somewhere and the walk never ends.
constexpr long kMaxSteps = 200000;

// Runs `step`, in which the operation under test runs through WithFailure,
// with the `n`-th allocation of that operation failing. Returns whether the
// failure fired; a bad_alloc that escapes is expected exactly then. Whatever
// `step` allocates must be freed by the time it returns.
template <typename Step> bool RunFailing(long n, Step step) {
    ClearProfileCache();
    const long liveBefore = g_live.load();
    g_fired = false;
    g_countdown = n;
    bool threw = false;
    try {
        step();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    ClearProfileCache();
    EXPECT_EQ(g_live.load(), liveBefore) << "step " << n << " leaked";
    // A failure may be absorbed (a file search that cannot allocate ends as
    // if the directory were empty); an exception without one would be a bug.
    EXPECT_TRUE(!threw || g_fired.load()) << "step " << n;
    return g_fired.load();
}

template <typename Operation> void WithFailure(Operation operation) {
    g_armed = true;
    try {
        operation();
    } catch (...) {
        g_armed = false;
        throw;
    }
    g_armed = false;
}

// Every (language, string ID, text) of a store, and its languages.
using Entries = std::map<std::pair<int, int>, std::wstring>;
Entries EntriesOf(const Store& store) {
    Entries entries;
    for (const auto& table : store) {
        for (const auto& entry : table.second) {
            entries[{table.first, entry.first}] = entry.second.str();
        }
    }
    return entries;
}
std::vector<int> LanguagesOf(const Store& store) {
    std::vector<int> languages;
    for (const auto& table : store) {
        languages.push_back(table.first);
    }
    return languages;
}

LoaderAccess SampleLoader() {
    LoaderAccess loader;
    for (const int language : {9, 0x0404, 0x0804}) {
        for (int id = 0; id < 24; id += 3) {
            loader.AddText(language, id,
                           (L"text " + std::to_wstring(language) + L"/" + std::to_wstring(id) +
                            std::wstring(40, L'x')) // long enough to live on the heap
                               .c_str());
        }
    }
    loader.AddLanguage(0x0c0c);
    loader.OverrideDefaultLangID(0x0404);
    return loader;
}

TEST(AllocationFailureTest, FailedCopyFreesThePartialCopyAndLeavesTheSourceAlone) {
    const LoaderAccess source = SampleLoader();
    const Entries expected = EntriesOf(source.m_stringTables);
    long n = 0;
    for (; n < kMaxSteps; ++n) {
        bool copied = false;
        const bool fired = RunFailing(n, [&] {
            std::unique_ptr<CUtilStringLoader> copy;
            WithFailure([&] { copy = std::make_unique<CUtilStringLoader>(source); });
            copied = EntriesOf(static_cast<const LoaderAccess&>(*copy).m_stringTables) == expected &&
                     copy->GetDefaultLangID() == 0x0404;
        });
        EXPECT_EQ(EntriesOf(source.m_stringTables), expected) << n;
        if (!fired) {
            EXPECT_TRUE(copied);
            break;
        }
    }
    EXPECT_GT(n, 24) << "the walk should have failed every allocation of the copy";
}

TEST(AllocationFailureTest, FailedAssignmentLeavesAnEmptyStoreAndThePreviousDefaultLanguage) {
    const LoaderAccess source = SampleLoader();
    long n = 0;
    for (; n < kMaxSteps; ++n) {
        const bool fired = RunFailing(n, [&] {
            LoaderAccess target;
            target.AddText(0x0407, 3, L"a text of the target that the assignment must drop, on the heap");
            target.OverrideDefaultLangID(0x0407);
            try {
                WithFailure([&] { target = source; });
            } catch (const std::bad_alloc&) {
                EXPECT_TRUE(target.m_stringTables.empty()) << n;
                EXPECT_EQ(target.GetDefaultLangID(), 0x0407) << n;
                throw;
            }
            EXPECT_EQ(EntriesOf(target.m_stringTables), EntriesOf(source.m_stringTables)) << n;
            EXPECT_EQ(LanguagesOf(target.m_stringTables), LanguagesOf(source.m_stringTables)) << n;
            EXPECT_EQ(target.GetDefaultLangID(), 0x0404) << n;
        });
        if (!fired) {
            break;
        }
    }
    EXPECT_GT(n, 24);
}

// What a load did to a store, compared with the snapshot taken before it and
// with the same load run to completion: nothing held before is lost or
// changed, and the additions are the first `k` additions of the full load.
// `order` lists the full load's additions in the order it makes them: a
// language's table (string ID -1) before its texts.
void ExpectPrefixOfFullLoad(const Store& before, const Store& after, const std::vector<std::pair<int, int>>& order,
                            const Entries& full, long n) {
    const Entries held = EntriesOf(before);
    const Entries now = EntriesOf(after);
    for (const auto& entry : held) {
        const auto found = now.find(entry.first);
        ASSERT_TRUE(found != now.end() && found->second == entry.second) << "step " << n << " lost a text";
    }
    for (const auto& table : before) {
        ASSERT_TRUE(after.count(table.first) != 0) << "step " << n << " lost a table";
    }
    std::size_t added = 0;
    bool gap = false;
    for (const auto& item : order) {
        const bool present = item.second < 0 ? after.count(item.first) != 0 : now.count(item) != 0;
        if (present) {
            ASSERT_FALSE(gap) << "step " << n << ": language " << item.first << " string " << item.second
                              << " added after an earlier addition was skipped";
            ++added;
            if (item.second >= 0) {
                EXPECT_EQ(now.at(item), full.at(item)) << "step " << n;
            }
        } else {
            gap = true;
        }
    }
    const std::size_t newTables = after.size() - before.size();
    const std::size_t newEntries = now.size() - held.size();
    if (newTables + newEntries != added) {
        std::string extra;
        for (const auto& table : after) {
            if (before.count(table.first) == 0) {
                extra += " table " + std::to_string(table.first);
            }
        }
        for (const auto& entry : now) {
            if (held.count(entry.first) == 0 && full.count(entry.first) == 0) {
                extra += " entry " + std::to_string(entry.first.first) + "/" + std::to_string(entry.first.second);
            }
        }
        ADD_FAILURE() << "step " << n << " added what the full load does not:" << extra;
    }
}

// The full load's additions in order: files in the order the search returns
// them (upper-cased names), rows in string-name table order.
std::vector<std::pair<int, int>> AdditionOrder(const Store& before, const Entries& full,
                                               const std::vector<int>& fileLanguages) {
    std::vector<std::pair<int, int>> order;
    const Entries held = EntriesOf(before);
    for (const int language : fileLanguages) {
        if (before.count(language) == 0) {
            order.emplace_back(language, -1);
        }
        for (const auto& row : LoaderAccess::s_IDStringMapping) {
            const std::pair<int, int> key{language, row.stringID};
            if (full.count(key) != 0 && held.count(key) == 0) {
                order.emplace_back(key);
            }
        }
    }
    return order;
}

// A string-table file with a text for most keys, an empty value for some and
// no line at all for others (those become placeholders).
std::wstring TableText(const std::wstring& tag) {
    std::wstring text = L"[Strings]\r\n";
    for (const auto& row : LoaderAccess::s_IDStringMapping) {
        if (row.stringID % 7 == 3) {
            continue;
        }
        text += std::wstring(row.keyName) + L"=";
        if (row.stringID % 5 != 2) {
            text += tag + L" " + std::to_wstring(row.stringID) + L" " + std::wstring(30, L'y');
        }
        text += L"\r\n";
    }
    return text;
}

// The store a load starts from: an earlier load left some texts, among them
// texts of the language the load reads again.
LoaderAccess Preloaded() {
    LoaderAccess loader;
    loader.AddText(0x0407, 0, L"kept from an earlier load (de 0)").AddText(0x0407, 14, L"kept (de 14)");
    loader.AddText(9, 20, L"kept (en 20)");
    loader.AddLanguage(0x0411);
    loader.OverrideDefaultLangID(0x0411);
    return loader;
}

template <typename Load> void WalkLoad(const std::vector<int>& fileLanguages, Load load) {
    // Warm-up: first-use allocations that stay (static tables, the cache's own
    // bookkeeping) happen here and not inside a counted step.
    LoaderAccess full = Preloaded();
    load(full);
    ClearProfileCache();
    const LoaderAccess start = Preloaded();
    const Entries fullEntries = EntriesOf(full.m_stringTables);
    const auto order = AdditionOrder(start.m_stringTables, fullEntries, fileLanguages);
    ASSERT_GT(order.size(), 10u);

    long n = 0;
    for (; n < kMaxSteps && !::testing::Test::HasFatalFailure(); ++n) {
        bool complete = false;
        const bool fired = RunFailing(n, [&] {
            LoaderAccess loader = start;
            try {
                WithFailure([&] { load(loader); });
            } catch (const std::bad_alloc&) {
            }
            ExpectPrefixOfFullLoad(start.m_stringTables, loader.m_stringTables, order, fullEntries, n);
            const int defaultLangID = loader.GetDefaultLangID();
            EXPECT_TRUE(defaultLangID == start.GetDefaultLangID() || defaultLangID == full.GetDefaultLangID()) << n;
            complete = EntriesOf(loader.m_stringTables) == fullEntries && defaultLangID == full.GetDefaultLangID();
        });
        if (!fired) {
            EXPECT_TRUE(complete);
            break;
        }
    }
    std::printf("walked %ld allocations\n", n);
    EXPECT_GT(n, static_cast<long>(order.size())); // at least one allocation per text added, and the file's own
    EXPECT_LT(n, kMaxSteps);
}

TEST(AllocationFailureTest, FailedFileLoadKeepsEverythingHeldAndAddsAPrefix) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("de.cfg"), TableText(L"de"));
    const std::wstring path = dir.wfile("de.cfg");
    WalkLoad({0x0407}, [&](LoaderAccess& loader) { loader.LoadStringTableForLanguage(path.c_str(), 0x0407); });
}

TEST(AllocationFailureTest, FailedDirectoryLoadKeepsEverythingHeldAndAddsAPrefix) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("de.cfg"), TableText(L"de"), testsupport::Encoding::Utf16LeBom);
    testsupport::WriteTextFile(dir.file("en.cfg"), TableText(L"en"));
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"), TableText(L"zh"));
    testsupport::ScopedSettings settings;
    settings.SetDefaultLangID(0x0404);
    const std::wstring directory = dir.wpath();
    WalkLoad({7, 9, 0x0404},
             [&](LoaderAccess& loader) { EXPECT_TRUE(loader.LoadAllLanguageStringTable(directory.c_str())); });
}

} // namespace
