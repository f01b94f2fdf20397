// Out of memory: this binary replaces the global operator new so that, while
// armed, the n-th allocation fails (once), and walks n over every allocation of
// a directory load and of a copy followed by an assignment. Each step must free
// what it allocated (counted here; LSan checks the same under the asan preset)
// and leave the promised state: a failed load keeps every text held before it
// and adds only texts the files hold (never a placeholder in a text's place); a
// failed copy never exists; a failed assignment leaves an empty store and the
// previous default language.
#include <gtest/gtest.h>

#include "support/counting_new.h"
#include "support/loader_access.h"
#include "support/settings_fixture.h"
#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::LoaderAccess;
using Tables = CUtilStringLoader::StringTableMap;

// Every language and text of `inner` is in `outer`, with the same text: adding
// `outer` to `inner` without replacing a text gives `outer`.
bool Within(Tables inner, const Tables& outer) {
    for (const auto& [language, table] : outer) {
        inner[language].insert(table.begin(), table.end());
    }
    return inner == outer;
}

// For n = 0, 1, ...: runs `operation` on a copy of `start` with its n-th
// allocation failing, then check(target, failed, n), until an operation runs
// through. Returns the number of steps.
template <typename Operation, typename Check> long Walk(const LoaderAccess& start, Operation operation, Check check) {
    long n = 0;
    for (bool failed = true; failed && n < 100000; ++n) {
        const long liveBefore = g_live;
        {
            LoaderAccess target = start;
            g_countdown = n;
            try {
                operation(target);
            } catch (const std::bad_alloc&) { // a file search or a registry read may absorb a failure
            }
            failed = g_countdown < 0;
            g_countdown = kUnarmed;
            check(static_cast<const LoaderAccess&>(target), failed, n);
        }
        EXPECT_EQ(g_live.load(), liveBefore) << "step " << n << " leaked";
    }
    return n;
}

TEST(AllocationFailureTest, EveryFailedAllocationLeavesThePromisedState) {
    testsupport::TempDir dir;
    const std::wstring kLong(30, L'y'); // texts longer than a string's inline buffer
    testsupport::WriteTextFile(dir.file("de.cfg"), LoaderAccess::TableText(kLong + L"de", true),
                               testsupport::Encoding::Utf16LeBom);
    testsupport::WriteTextFile(dir.file("zh_tw.cfg"), LoaderAccess::TableText(kLong + L"zh", true));
    testsupport::ScopedSettings settings;
    settings.Set(L"EUQDefaultLangID", REG_DWORD, L"0x0404");
    const std::wstring directory = dir.wpath();
    LoaderAccess start; // texts of an earlier load, one of them in a language loaded again
    start.AddText(0x0407, 14, L"kept (de 14)").AddText(9, 20, L"kept (en 20)").OverrideDefaultLangID(0x0411);
    const auto load = [&](LoaderAccess& loader) { loader.LoadAllLanguageStringTable(directory.c_str()); };
    LoaderAccess source = start;
    load(source); // also makes the first-use allocations that stay, outside the walk
    long steps = Walk(start, load, [&](const LoaderAccess& loader, bool failed, long n) {
        const int language = loader.GetDefaultLangID(); // read after the scan: either value when the load failed
        EXPECT_TRUE(
            Within(start.m_stringTables, loader.m_stringTables) &&
            (failed ? Within(loader.m_stringTables, source.m_stringTables) && (language == 0x0411 || language == 0x0404)
                    : loader.m_stringTables == source.m_stringTables && language == 0x0404))
            << "step " << n;
    });
    EXPECT_GT(steps, 2 * 20); // at least one allocation per text added

    bool copied = false;
    const auto copyThenAssign = [&](LoaderAccess& target) {
        copied = false;
        const LoaderAccess copy(source);
        copied = true;
        target = copy;
    };
    steps = Walk(start, copyThenAssign, [&](const LoaderAccess& target, bool failed, long n) {
        const Tables& expected = !failed ? source.m_stringTables : copied ? Tables() : start.m_stringTables;
        EXPECT_TRUE(target.m_stringTables == expected) << "step " << n;
        EXPECT_EQ(target.GetDefaultLangID(), failed ? 0x0411 : 0x0404) << "step " << n;
    });
    EXPECT_GT(steps, 2 * 40); // the copy's allocations, then the assignment's
}

} // namespace
