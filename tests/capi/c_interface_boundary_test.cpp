// What only C++ can see of the C interface: every text answer (a lookup over
// a grid of languages, string IDs and fallback, and a locale name) is what the
// class answers (LoadStringW, LangIDToLocale), by the buffer rules, in both
// encodings; a lookup into a reused buffer allocates nothing; and every
// allocation failure inside a call comes back as USL_OUT_OF_MEMORY, leaks
// nothing and leaves new / clone's out-pointer null. This binary replaces the
// global operator new to count allocations and to fail the n-th one.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Util_StringLoader.h"
#include "support/counting_new.h"
#include "support/loader_access.h"
#include "support/test_files.h"
#include "util_stringloader_c.h"

namespace {

using testsupport::Encoding;
using testsupport::LoaderAccess;
using testsupport::TempDir;
using testsupport::WriteTextFile;
using Text16 = std::basic_string<usl_char16>;

// A wide text as UTF-16, an unpaired surrogate kept as it is.
Text16 ToUtf16(const std::wstring& text) {
    Text16 units;
    for (const wchar_t c : text) {
        basekit::detail::ForEachUtf16Unit(static_cast<char32_t>(c),
                                          [&units](char16_t unit) { units += static_cast<usl_char16>(unit); });
    }
    return units;
}

// English whole; French, Canadian French and Taiwanese Chinese with gaps (an
// empty value for IDs n % 5 == 2, no line for n % 7 == 3); Brazilian
// Portuguese with no neutral table beside it; Japanese as a broken UTF-16 file
// (an unpaired surrogate) and a text of characters above U+FFFF only, the
// last of them U+10FFFF, each at the longest encoding the one-pass bound
// allows for.
void WriteTables(const TempDir& dir) {
    WriteTextFile(dir.file("en.cfg"), LoaderAccess::TableText(L"English text "));
    WriteTextFile(dir.file("fr.cfg"), LoaderAccess::TableText(L"fr \u00e9", true), Encoding::Utf16LeBom);
    WriteTextFile(dir.file("fr_ca.cfg"), LoaderAccess::TableText(L"fr_ca", true));
    WriteTextFile(dir.file("zh_tw.cfg"), LoaderAccess::TableText(L"\u4e2d\U0001F600", true), Encoding::Utf16LeBom);
    WriteTextFile(dir.file("pt_br.cfg"), LoaderAccess::TableText(L"pt_br"));
    WriteTextFile(dir.file("ja.cfg"),
                  L"[Strings]\nIDS_SPAM_FOLDER_NAME=a\xD800z\nIDS_INBOX_FOLDER_NAME=\U0001F600\U0010FFFF\n",
                  Encoding::Utf16LeBom);
}

// One text answer in one encoding by the buffer rules: a size query; a buffer
// one unit short, left untouched; an exact fit, the text and a NUL with nothing
// written beyond; no text is USL_NOT_FOUND with an empty string written; a null
// length, or a null buffer with a capacity, is refused.
template <typename Unit, typename Answer> void CheckTextOut(const std::basic_string<Unit>& expected, Answer answer) {
    const std::size_t n = expected.size();
    const std::basic_string<Unit> fill(n + 2, Unit{'~'});
    std::basic_string<Unit> buffer = fill;
    std::size_t length = 999;
    const auto call = [&](Unit* to, std::size_t capacity) {
        length = 999;
        return answer(to, capacity, &length);
    };
    for (Unit* to : {static_cast<Unit*>(nullptr), &buffer[0]}) { // a size query, with or without a buffer
        EXPECT_EQ(call(to, 0), n != 0 ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND);
        EXPECT_EQ(length, n);
    }
    if (n != 0) {
        EXPECT_EQ(call(&buffer[0], n), USL_BUFFER_TOO_SMALL);
        EXPECT_EQ(length, n);
    }
    EXPECT_EQ(buffer, fill);
    EXPECT_EQ(call(&buffer[0], n + 1), n != 0 ? USL_OK : USL_NOT_FOUND);
    EXPECT_EQ(length, n);
    EXPECT_EQ(buffer, expected + Unit{0} + Unit{'~'});
    EXPECT_EQ(answer(&buffer[0], n + 2, nullptr), USL_INVALID_ARGUMENT);
    EXPECT_EQ(call(nullptr, 1), USL_INVALID_ARGUMENT);
    EXPECT_EQ(length, 999u);
}

// Both encodings of one answer: `answer` takes a char or a usl_char16 buffer.
template <typename Answer> void CheckTextsOut(const std::wstring& expected, Answer answer) {
    CheckTextOut(basekit::detail::EncodeUtf8(expected), answer);
    CheckTextOut(ToUtf16(expected), answer);
}

// The second pass counts the allocations of the C lookups alone: the first has
// grown the thread's scratch text to the longest text the fallback steps copy.
TEST(CInterfaceBoundaryTest, TextAnswersAreTheClassesByTheBufferRulesAndLookupsAllocateNothing) {
    TempDir dir;
    WriteTables(dir);
    CUtilStringLoader reference;
    ASSERT_TRUE(reference.LoadAllLanguageStringTable(dir.wpath().c_str()));
    usl_loader* loader = nullptr;
    ASSERT_EQ(usl_loader_new(&loader), USL_OK);
    ASSERT_EQ(usl_loader_load(loader, dir.path().c_str()), USL_OK);
    ASSERT_EQ(usl_loader_set_default_language(loader, 0x0c0c), USL_OK); // takes no part in lookups

    // Loaded tables, their siblings, neutral IDs, an unloaded language, IDs beyond 16 bits.
    const int languages[] = {9,    0x0409, 0x0c,   0x0c0c, 0x080c, 0x0404, 0x0804,  0x04,   0x0416,
                             0x16, 0x11,   0x0411, 0x0419, 0,      -1,     0x1000c, 0x10009};
    int found = 0, answers = 0;
    long allocations = 0;
    for (const int pass : {0, 1}) {
        for (const int language : languages) {
            for (int id = -1; id <= 25; ++id) {
                for (const int fallback : {0, -1}) { // any nonzero flag asks for the fallback
                    char text[256];
                    usl_char16 units[256];
                    std::size_t length = 0;
                    if (pass == 1) {
                        const long before = g_allocations;
                        usl_loader_string(loader, language, id, fallback, text, 256, &length);
                        usl_loader_string16(loader, language, id, fallback, units, 256, &length);
                        allocations += g_allocations - before;
                        continue;
                    }
                    SCOPED_TRACE(std::to_string(language) + "/" + std::to_string(id) + "/" + std::to_string(fallback));
                    const std::wstring expected = reference.LoadStringW(language, id, fallback != 0).str();
                    CheckTextsOut(expected, [&](auto* to, std::size_t capacity, std::size_t* size) {
                        if constexpr (sizeof *to == 1) {
                            return usl_loader_string(loader, language, id, fallback, to, capacity, size);
                        } else {
                            return usl_loader_string16(loader, language, id, fallback, to, capacity, size);
                        }
                    });
                    found += expected.empty() ? 0 : 1;
                    ++answers;
                }
            }
        }
    }
    EXPECT_GT(found, answers / 3); // the grid reaches texts, not only misses
    EXPECT_LT(found, answers);
    EXPECT_EQ(allocations, 0);
    usl_loader_free(loader);

    for (const uint32_t language : {0x0404u, 0x0c0cu, 0x03ffu}) {
        const std::wstring expected = CUtilLocaleLCIDConverter().LangIDToLocale(language).str();
        CheckTextsOut(expected, [&](auto* to, std::size_t capacity, std::size_t* size) {
            if constexpr (sizeof *to == 1) {
                return usl_language_to_locale(language, to, capacity, size);
            } else {
                return usl_language_to_locale16(language, to, capacity, size);
            }
        });
    }
}

// For n = 0, 1, ...: runs `call` with its n-th allocation failing until a run
// has no failure. A clean run answers `success`; a failed one answers
// USL_OUT_OF_MEMORY unless the library absorbed the failure (a file search
// may) and still succeeded; no run leaks. Each run happens on a thread of its
// own, so a lookup's per-thread scratch text starts empty every time.
// `prepare` (on the run's thread) and `cleanUp` run around each run, unarmed.
//
// With mingw the runs stay on this thread: its runtime records a thread's
// thread_local destructors in memory it allocates on the first use (forgetting
// the destructor when that allocation fails) and may still be running them
// when join returns, so counts of live allocations across a thread are not
// exact there. One unarmed run first grows this thread's scratch text, so the
// walk covers every allocation but the scratch's growth.
void Walk(
    const char* name, usl_status success, const std::function<usl_status()>& call,
    const std::function<void()>& cleanUp = [] {}, const std::function<void()>& prepare = [] {}) {
    long n = 0, outOfMemory = 0;
#if defined(_WIN32)
    prepare();
    call();
    cleanUp();
#endif
    for (bool failed = true; failed && n < 100000; ++n) {
        const long liveBefore = g_live;
        usl_status status = USL_OK;
        const auto armedRun = [&] {
            prepare();
            g_countdown = n;
            status = call();
            failed = g_countdown < 0;
            g_countdown = kUnarmed;
        };
#if defined(_WIN32)
        armedRun();
#else
        std::thread run(armedRun);
        run.join();
#endif
        EXPECT_TRUE(status == success || (failed && status == USL_OUT_OF_MEMORY)) << name << ", step " << n;
        outOfMemory += status == USL_OUT_OF_MEMORY ? 1 : 0;
        cleanUp();
        EXPECT_EQ(g_live.load(), liveBefore) << name << " leaked at step " << n;
    }
#if defined(_WIN32)
    if (n == 1) {
        return; // the first run allocated nothing (a lookup into the grown scratch): nothing could fail
    }
#endif
    EXPECT_GT(outOfMemory, 0) << name << " never answered USL_OUT_OF_MEMORY";
}

TEST(CInterfaceBoundaryTest, EveryAllocationFailureIsOutOfMemory) {
    TempDir dir;
    WriteTables(dir);
    usl_loader* loaded = nullptr;
    ASSERT_EQ(usl_loader_new(&loaded), USL_OK);
    ASSERT_EQ(usl_loader_load(loaded, dir.path().c_str()), USL_OK);
    const std::string path = dir.path();
    usl_loader* made = nullptr;
    const auto freeMade = [&] {
        usl_loader_free(made);
        made = nullptr;
    };

    for (const bool clone : {false, true}) {
        Walk(
            clone ? "clone" : "new", USL_OK,
            [&] {
                made = reinterpret_cast<usl_loader*>(&made);
                const usl_status status = clone ? usl_loader_clone(loaded, &made) : usl_loader_new(&made);
                EXPECT_EQ(made != nullptr, status == USL_OK);
                return status;
            },
            freeMade);
    }
    Walk(
        "load", USL_OK, [&] { return usl_loader_load(made, path.c_str()); }, freeMade,
        [&] { ASSERT_EQ(usl_loader_new(&made), USL_OK); });

    char text[256];
    std::size_t length = 0;
    int32_t ids[8];
    int32_t language = 0;
    uint32_t id = 0;
    // Lookups answered by English, whose texts are longer than any short-string
    // buffer: the fallback steps copy them into the thread's scratch string.
    // A lookup that answers nothing first makes the thread's scratch string:
    // the runtime registers its destructor then, and mingw's runtime allocates
    // that registration through operator new, losing the string if it fails.
    const auto makeScratch = [&] { usl_loader_string(loaded, 0x0419, 99, 1, nullptr, 0, &length); };
    Walk(
        "string", USL_OK, [&] { return usl_loader_string(loaded, 0x0419, 3, 1, text, 256, &length); }, [] {},
        makeScratch);
    Walk("languages", USL_OK, [&] { return usl_loader_languages(loaded, ids, 8, &length); });
    Walk("language of text", USL_OK,
         [&] { return usl_loader_language_of_text(loaded, 0, "a text none of the tables holds", 1, &language); });
    Walk("locale to language", USL_OK,
         [&] { return usl_locale_to_language("fr_ca but longer than a short string", &id); });
    // With a sink installed, a failing conversion writes a trace record, whose
    // formatting allocates inside the member.
    ASSERT_EQ(usl_set_trace_sink([](void*, uint32_t, const char*, int32_t, const char*) {}, nullptr), USL_OK);
    Walk("traced locale to language", USL_NOT_FOUND, [&] { return usl_locale_to_language("x", &id); });
    ASSERT_EQ(usl_set_trace_sink(nullptr, nullptr), USL_OK);
    Walk(
        "trace sink", USL_OK,
        [&] { return usl_set_trace_sink([](void*, uint32_t, const char*, int32_t, const char*) {}, nullptr); },
        [] { usl_set_trace_sink(nullptr, nullptr); });
    usl_loader_free(loaded);
}

} // namespace
