// Out of memory: this binary replaces every form of the global operator new
// so that, while armed, the n-th allocation fails (once), and walks n over
// every allocation of a copy, an assignment and a directory
// load. Each step must free what it allocated (counted here; LSan checks the
// same under the asan preset) and leave the state the loader promises.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"

// Armed with n, the allocation that takes g_countdown from 0 to -1 fails; g_live: allocations not yet freed.
constexpr long kUnarmed = -1000000000L; // counts down, never to 0
std::atomic<long> g_countdown{kUnarmed}, g_live{0};

// The library allocates nothing over-aligned, so the aligned forms stay the
// runtime's own; the other forms of the runtime call these.
void* operator new(std::size_t n) {
    void* memory = g_countdown.fetch_sub(1) == 0 ? nullptr : std::malloc(n + 1);
    g_live += memory != nullptr ? 1 : 0;
    return memory != nullptr ? memory : throw std::bad_alloc();
}
static void Release(void* memory) noexcept {
    g_live -= memory != nullptr ? 1 : 0;
    std::free(memory);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

using testsupport::LoaderAccess;
const std::wstring kLong(30, L'y');                          // texts longer than a string's inline buffer
using Entries = std::map<std::pair<int, int>, std::wstring>; // (language, string ID or -1 for its table) -> text

Entries Flatten(const LoaderAccess& loader) {
    Entries entries;
    for (const auto& table : loader.m_stringTables) {
        entries[{table.first, -1}];
        for (const auto& entry : table.second) {
            entries[{table.first, entry.first}] = entry.second.str();
        }
    }
    return entries;
}

// For n = 0, 1, ...: runs `operation` on a copy of `start` with its n-th
// allocation failing, then check(target, failed, n), until an operation ran
// without a failure. Returns the number of steps.
template <typename Operation, typename Check> long Walk(const LoaderAccess& start, Operation operation, Check check) {
    long n = 0;
    for (bool failed = true; failed && n < 200000 && !::testing::Test::HasFatalFailure(); ++n) {
        const long liveBefore = g_live;
        {
            LoaderAccess target = start;
            g_countdown = n;
            try {
                operation(target);
            } catch (const std::bad_alloc&) { // a file search may absorb a failure; nothing may invent one
                EXPECT_LT(g_countdown, 0) << "step " << n << " threw without a failure";
            }
            failed = g_countdown < 0;
            g_countdown = kUnarmed;
            check(static_cast<const LoaderAccess&>(target), failed, n);
        }
        EXPECT_EQ(g_live.load(), liveBefore) << "step " << n << " leaked";
    }
    EXPECT_LT(n, 200000) << "an armed failure was swallowed and the walk never ends";
    return n;
}

// Each operation starts from texts an earlier load left (some of a language
// loaded again). A failed load keeps every table and text held before it, and
// what it added is part of the full load's additions: no placeholder ever
// stands in for a text the file holds. A failed copy never exists (the exception reaches the
// caller); a failed assignment leaves an empty store and the previous default language.
TEST(AllocationFailureTest, EveryFailedAllocationLeavesThePromisedState) {
    testsupport::TempDir dir;
    testsupport::WriteTextFile(dir.file("de.cfg"), LoaderAccess::TableText(kLong + L"de", true),
                               testsupport::Encoding::Utf16LeBom);
    testsupport::WriteTextFile(dir.file("en.cfg"), LoaderAccess::TableText(kLong + L"en", true));
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"), LoaderAccess::TableText(kLong + L"zh", true));
    testsupport::ScopedSettings settings;
    settings.SetNumber(L"EUQDefaultLangID", 0x0404);
    const std::wstring directory = dir.wpath();
    LoaderAccess start;
    start.AddText(0x0407, 0, L"kept (de 0)").AddText(0x0407, 14, L"kept (de 14)").AddText(9, 20, L"kept (en 20)");
    start.AddLanguage(0x0411).OverrideDefaultLangID(0x0411);
    const Entries held = Flatten(start);
    const auto load = [&](LoaderAccess& loader) { EXPECT_TRUE(loader.LoadAllLanguageStringTable(directory.c_str())); };
    LoaderAccess source = start;
    load(source); // also makes the first-use allocations that stay, outside the walk
    const Entries loaded = Flatten(source);
    long steps = Walk(start, load, [&](const LoaderAccess& loader, bool failed, long n) {
        const Entries now = Flatten(loader);
        Entries withComplete = now, withHeld = held; // insert() keeps the values present
        withComplete.insert(loaded.begin(), loaded.end());
        withHeld.insert(now.begin(), now.end());
        EXPECT_TRUE(withHeld == now && (failed ? withComplete == loaded : now == loaded)) << "step " << n;
        const int language = loader.GetDefaultLangID();
        EXPECT_TRUE(language == source.GetDefaultLangID() || (failed && language == 0x0411)) << "step " << n;
    });
    std::printf("walked %ld allocations\n", steps);
    EXPECT_GT(steps, static_cast<long>(loaded.size() - held.size()) + 10); // one per addition, and the file's own

    bool copied = false;
    const auto copyThenAssign = [&](LoaderAccess& target) {
        copied = false;
        const LoaderAccess copy(source);
        copied = true;
        target = copy;
    };
    steps = Walk(start, copyThenAssign, [&](const LoaderAccess& target, bool failed, long n) {
        EXPECT_EQ(Flatten(target), !failed ? loaded : copied ? Entries() : held) << "step " << n;
        EXPECT_EQ(target.GetDefaultLangID(), failed ? 0x0411 : 0x0404) << "step " << n;
    });
    EXPECT_GT(steps, 2 * static_cast<long>(loaded.size())); // the copy's allocations, then the assignment's
    EXPECT_EQ(Flatten(source), loaded);
}

} // namespace
