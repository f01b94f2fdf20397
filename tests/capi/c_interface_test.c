// The C interface from a C99 program, as a C caller links it: every function
// and every status it can give (but USL_OUT_OF_MEMORY, which needs a failing
// allocator: c_interface_boundary_test), the buffer rules (size query, exact
// fit, one short), null and invalid arguments, malformed UTF-8 and UTF-16, a
// text above U+FFFF and an unpaired surrogate stored in a table, and the trace
// sink. Which text a lookup answers is c_interface_boundary_test's grid; the
// rows here are the ones the boundary rules need. The tables are written as
// UTF-16LE, which the readers of both platforms take, into a directory below
// the working directory. Prints "N passed, N failed".
#if !defined(_WIN32)
#define _XOPEN_SOURCE 700
#endif

#include <stdio.h>
#include <string.h>

#include "util_stringloader_c.h"

#if defined(_WIN32)
#include <direct.h>
#define make_dir(path) _mkdir(path)
#define remove_dir(path) _rmdir(path)
#else
#include <sys/stat.h>
#include <unistd.h>
#define make_dir(path) mkdir((path), 0700)
#define remove_dir(path) rmdir(path)
#endif

#define COUNT(array) (sizeof(array) / sizeof((array)[0]))

// --- Checks ----------------------------------------------------------------

static int g_passed, g_failed;
static char g_case[160]; // the row being checked, printed with a failure

static void set_case(const char* label, const char* step) {
    sprintf(g_case, "%.100s: %.50s", label, step);
}
static void set_row(const char* label, size_t row) {
    sprintf(g_case, "%.100s: row %d", label, (int)row);
}

static void check(int ok, const char* what, int line) {
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    printf("FAILED line %d [%s]: %s\n", line, g_case, what);
}
#define CHECK(condition) check((condition) != 0, #condition, __LINE__)

// --- UTF-16 and the tables -------------------------------------------------

// UTF-8 to NUL-terminated UTF-16, without validation, so that "\xED\xA0\x80"
// gives the unpaired surrogate D800 (how a broken UTF-16 file holds it).
static size_t to_utf16(const char* text, usl_char16* out, size_t capacity) {
    const unsigned char* at = (const unsigned char*)text;
    size_t units = 0;
    while (*at != 0 && units + 2 < capacity) {
        unsigned long cp = *at;
        int extra = cp < 0x80 ? 0 : cp < 0xE0 ? 1 : cp < 0xF0 ? 2 : 3;
        cp &= extra == 0 ? 0x7F : 0x3F >> extra;
        for (++at; extra > 0 && *at != 0; --extra) {
            cp = (cp << 6) | (*at++ & 0x3Fu);
        }
        if (cp >= 0x10000) {
            out[units++] = (usl_char16)(0xD800 + ((cp - 0x10000) >> 10));
            out[units++] = (usl_char16)(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[units++] = (usl_char16)cp;
        }
    }
    out[units] = 0;
    return units;
}

// Languages 9 (en), 0x0c (fr), 0x0c0c (fr_ca) and 0x11 (ja). An empty value
// stores nothing, so lookups fall back for it. The Japanese table is a broken
// UTF-16 file (an unpaired D800) with characters above U+FFFF.
static const char* const g_en[] = {"[Strings]", "IDS_SPAM_FOLDER_NAME=Spam Mail", "IDS_INBOX_FOLDER_NAME=Inbox",
                                   "IDS_INBOX_FOLDER_NAME_LIST=Inbox;INBOX", NULL};
static const char* const g_fr[] = {"[Strings]", "IDS_SPAM_FOLDER_NAME=Courrier", "IDS_INBOX_FOLDER_NAME=Bo\xC3\xAEte",
                                   NULL};
static const char* const g_fr_ca[] = {"[Strings]", "IDS_SPAM_FOLDER_NAME=Pourriels", "IDS_INBOX_FOLDER_NAME=", NULL};
static const char* const g_ja[] = {"[Strings]", "IDS_SPAM_FOLDER_NAME=a\xED\xA0\x80z",
                                   "IDS_INBOX_FOLDER_NAME=\xF0\x9F\x98\x80\xF0\x9F\x98\x80",
                                   "IDS_INBOX_FOLDER_NAME_LIST=Posteingang; Eingang \xF0\x9F\x93\xA5", NULL};
static const struct {
    const char* name;
    const char* const* lines;
} g_tables[] = {{"en.cfg", g_en}, {"fr.cfg", g_fr}, {"fr_ca.cfg", g_fr_ca}, {"ja.cfg", g_ja}};

static const char g_dir[] = "c_interface_test_tables";

// Writes dir/name as UTF-16LE with a byte-order mark and CR LF line ends.
static int write_table(const char* name, const char* const* lines) {
    char path[128];
    FILE* file;
    sprintf(path, "%s/%s", g_dir, name);
    if ((file = fopen(path, "wb")) == NULL) {
        return 0;
    }
    fputs("\xFF\xFE", file);
    for (; *lines != NULL; ++lines) {
        usl_char16 units[256];
        size_t count = to_utf16(*lines, units, 256), k;
        units[count++] = '\r';
        units[count++] = '\n';
        for (k = 0; k < count; ++k) {
            fputc((int)(units[k] & 0xFF), file);
            fputc((int)(units[k] >> 8), file);
        }
    }
    return fclose(file) == 0;
}

// --- Text answers: one checker for both encodings ---------------------------

// A call that answers a text into `buffer`.
typedef usl_status (*text_call)(const void* args, void* buffer, size_t capacity, size_t* length);

#define BUFFER_UNITS 128
#define FILL 0x5A

static unsigned char g_fill[2 * BUFFER_UNITS]; // FILL throughout
#define untouched(buffer) (memcmp((buffer), g_fill, sizeof g_fill) == 0)

// Size query, exact fit, one short and the null arguments of one call whose
// units are `unit` bytes. `expected` (n units) null: no text answers.
static void check_text(const char* label, size_t unit, text_call call, const void* args, const void* expected,
                       size_t n) {
    static const unsigned char nul[2] = {0, 0};
    unsigned char buffer[2 * BUFFER_UNITS];
    size_t length = 999;
    set_case(label, unit == 1 ? "UTF-8" : "UTF-16");

    CHECK(call(args, NULL, 0, &length) == (expected != NULL ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND) && length == n);
    memset(buffer, FILL, sizeof buffer);
    length = 999;
    CHECK(call(args, buffer, n + 1, &length) == (expected != NULL ? USL_OK : USL_NOT_FOUND) && length == n);
    CHECK(n == 0 || memcmp(buffer, expected, n * unit) == 0);
    CHECK(memcmp(buffer + n * unit, nul, unit) == 0 && buffer[(n + 1) * unit] == FILL);
    if (n > 0) {
        memset(buffer, FILL, sizeof buffer);
        length = 999;
        CHECK(call(args, buffer, n, &length) == USL_BUFFER_TOO_SMALL && length == n && untouched(buffer));
    }
    memset(buffer, FILL, sizeof buffer);
    length = 999;
    CHECK(call(args, buffer, BUFFER_UNITS, NULL) == USL_INVALID_ARGUMENT && untouched(buffer));
    CHECK(call(args, NULL, 1, &length) == USL_INVALID_ARGUMENT && length == 999);
}

// Both forms of one answer: `text` as the tables spell it (see to_utf16), and
// its UTF-8 form when that differs (an unpaired surrogate becomes U+FFFD).
static void check_texts(const char* label, text_call call8, text_call call16, const void* args, const char* text,
                        const char* utf8) {
    usl_char16 units[BUFFER_UNITS];
    const char* bytes = utf8 != NULL ? utf8 : text;
    const size_t n16 = text != NULL ? to_utf16(text, units, BUFFER_UNITS) : 0;
    check_text(label, 1, call8, args, bytes, bytes != NULL ? strlen(bytes) : 0);
    check_text(label, 2, call16, args, text != NULL ? units : NULL, n16);
}

struct lookup {
    const usl_loader* loader;
    int32_t language, id;
    int fallback;
};

static usl_status lookup8(const void* args, void* buffer, size_t capacity, size_t* length) {
    const struct lookup* k = (const struct lookup*)args;
    return usl_loader_string(k->loader, k->language, k->id, k->fallback, (char*)buffer, capacity, length);
}
static usl_status lookup16(const void* args, void* buffer, size_t capacity, size_t* length) {
    const struct lookup* k = (const struct lookup*)args;
    return usl_loader_string16(k->loader, k->language, k->id, k->fallback, (usl_char16*)buffer, capacity, length);
}
static usl_status locale8(const void* args, void* buffer, size_t capacity, size_t* length) {
    return usl_language_to_locale(*(const uint32_t*)args, (char*)buffer, capacity, length);
}
static usl_status locale16(const void* args, void* buffer, size_t capacity, size_t* length) {
    return usl_language_to_locale16(*(const uint32_t*)args, (usl_char16*)buffer, capacity, length);
}

// --- The tests ---------------------------------------------------------------

static void test_version_and_status_texts(void) {
    char expected[32];
    int status, other;
    set_case("version and status texts", "");
    sprintf(expected, "%d.%d.%d", USL_VERSION_MAJOR, USL_VERSION_MINOR, USL_VERSION_PATCH);
    CHECK(strcmp(usl_version(), expected) == 0 && strcmp(usl_version(), USL_TEST_PROJECT_VERSION) == 0);
    for (status = USL_OK; status <= USL_OUT_OF_MEMORY; ++status) {
        const char* text = usl_status_text((usl_status)status);
        CHECK(strlen(text) > 3 && strcmp(text, "unknown status") != 0);
        for (other = USL_OK; other < status; ++other) {
            CHECK(strcmp(text, usl_status_text((usl_status)other)) != 0);
        }
    }
    CHECK(strcmp(usl_status_text((usl_status)6), "unknown status") == 0);
    CHECK(strcmp(usl_status_text((usl_status)-1), "unknown status") == 0);
}

static void test_text_out(const usl_loader* loader) {
    static const struct {
        const char* label;
        int32_t language, id;
        int fallback;
        const char* stored; // as written in the table; null: no text answers
        const char* utf8;   // the UTF-8 answer, when it differs from stored
    } rows[] = {
        {"exact table", 0x0c0c, 14, 0, "Pourriels", NULL},
        {"empty value, no fallback", 0x0c0c, 20, 0, NULL, NULL},
        {"empty value, neutral table answers", 0x0c0c, 20, 1, "Bo\xC3\xAEte", NULL},
        {"no table of the language: English", 0x0419, 14, 1, "Spam Mail", NULL},
        // Every character at its longest encoding: the one-short buffer is
        // one unit below the most the text could take.
        {"only characters above U+FFFF", 0x11, 20, 0, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", NULL},
        {"stored unpaired surrogate", 0x11, 14, 0, "a\xED\xA0\x80z", "a\xEF\xBF\xBDz"},
    };
    static const uint32_t locales[] = {0x0404, 0x0c0c, 0x03ff};
    static const char* const locale_names[] = {"zh_tw", "fr_ca", NULL};
    size_t i;
    for (i = 0; i < COUNT(rows); ++i) {
        const struct lookup args = {loader, rows[i].language, rows[i].id, rows[i].fallback};
        check_texts(rows[i].label, lookup8, lookup16, &args, rows[i].stored, rows[i].utf8);
    }
    for (i = 0; i < COUNT(locales); ++i) {
        check_texts("language to locale", locale8, locale16, &locales[i], locale_names[i], NULL);
    }
}

static void test_queries(usl_loader* loader, const usl_loader* empty) {
    static const int32_t expected[] = {9, 0x0c, 0x11, 0x0c0c}; // ascending
    static const struct { int32_t language, match; } matches[] = {{0x0c0c, 0x0c0c}, {0x080c, 0x0c}, {0x0419, 0}};
    int32_t ids[8] = {-1, -1, -1, -1, -1, -1, -1, -1}, value = -1;
    size_t i, count = 99;

    set_case("languages", "count query, one short, exact room, empty loader");
    CHECK(usl_loader_languages(loader, NULL, 0, &count) == USL_BUFFER_TOO_SMALL && count == 4);
    count = 0;
    CHECK(usl_loader_languages(loader, ids, 3, &count) == USL_BUFFER_TOO_SMALL && count == 4 && ids[0] == -1);
    count = 0;
    CHECK(usl_loader_languages(loader, ids, 4, &count) == USL_OK && count == 4 && ids[4] == -1);
    CHECK(memcmp(ids, expected, sizeof expected) == 0);
    CHECK(usl_loader_languages(empty, NULL, 0, &count) == USL_OK && count == 0);

    for (i = 0; i < COUNT(matches); ++i) {
        set_case("match language", matches[i].match != 0 ? "a match" : "none");
        value = -1;
        CHECK(usl_loader_match_language(loader, matches[i].language, &value) ==
                  (matches[i].match != 0 ? USL_OK : USL_NOT_FOUND) &&
              value == matches[i].match);
    }
    set_case("default language", "set and read back");
    CHECK(usl_loader_set_default_language(loader, 0x0419) == USL_OK);
    CHECK(usl_loader_default_language(loader, &value) == USL_OK && value == 0x0419);
}

// The calls that take a text, in one form: UTF-8 (utf16 0) or UTF-16.
typedef usl_status (*text_in_call)(usl_loader* loader, int32_t id, int as_list, int utf16, const void* text,
                                   int32_t* answer);

static usl_status language_of(usl_loader* loader, int32_t id, int as_list, int utf16, const void* text,
                              int32_t* answer) {
    return utf16 ? usl_loader_language_of_text16(loader, id, (const usl_char16*)text, as_list, answer)
                 : usl_loader_language_of_text(loader, id, (const char*)text, as_list, answer);
}
static usl_status locale_of(usl_loader* loader, int32_t id, int as_list, int utf16, const void* text, int32_t* answer) {
    uint32_t language = (uint32_t)*answer;
    const usl_status status = utf16 ? usl_locale_to_language16((const usl_char16*)text, &language)
                                    : usl_locale_to_language((const char*)text, &language);
    (void)loader, (void)id, (void)as_list;
    *answer = (int32_t)language;
    return status;
}
static usl_status load_from(usl_loader* loader, int32_t id, int as_list, int utf16, const void* text, int32_t* answer) {
    (void)id, (void)as_list, (void)answer;
    return utf16 ? usl_loader_load16(loader, (const usl_char16*)text) : usl_loader_load(loader, (const char*)text);
}

// Each row in both forms, with no text, and with each invalid tail appended.
// REQUIRES: the default language is 0x0419 (test_queries).
static void test_text_in(usl_loader* loader) {
    static const struct {
        const char* label;
        text_in_call call;
        int32_t id;
        int as_list;
        const char* text;
        usl_status status;
        int32_t answer;
    } rows[] = {
        {"whole text", language_of, 14, 0, "Pourriels", USL_OK, 0x0c0c},
        {"list item", language_of, 21, 1, "INBOX", USL_OK, 9},
        {"list item is not the whole text: default", language_of, 21, 0, "INBOX", USL_OK, 0x0419},
        {"list item above U+FFFF", language_of, 21, 1, "Eingang \xF0\x9F\x93\xA5", USL_OK, 0x11},
        {"locale", locale_of, 0, 0, "fr_ca", USL_OK, 0x0c0c},
        {"unknown locale", locale_of, 0, 0, "xx", USL_NOT_FOUND, 0},
        {"load from a missing directory: nothing more", load_from, 0, 0, "none", USL_OK, -1},
    };
    static const char* const bad8[] = {"\xC0\xAF",     "\xE0\x80\xAF", "\xF0\x80\x80\xAF",
                                       "\xED\xA0\x80", "\xF0\x9F\x98", "\xE2\x82x",
                                       "\x80",         "\xFF",         "\xF4\x90\x80\x80"};
    static const usl_char16 bad16[][3] = {{0xD800, 0}, {0xD800, 'a', 0}, {0xDC00, 0}, {0xDC00, 0xD800, 0}};
    char text8[128];
    usl_char16 text16[128];
    size_t i, k, n;
    int form;
    int32_t answer = -1;

#define CALL(form, text) rows[i].call(loader, rows[i].id, rows[i].as_list, (form), (text), &answer)
    for (i = 0; i < COUNT(rows); ++i) {
        // A load without a directory is a load from the installation settings, of which there are none.
        const usl_status no_text = rows[i].call == load_from ? USL_NO_DIRECTORY : USL_INVALID_ARGUMENT;
        set_case(rows[i].label, "valid text and no text, UTF-8 and UTF-16");
        n = to_utf16(rows[i].text, text16, 64);
        for (form = 0; form < 2; ++form) {
            answer = -1;
            CHECK(CALL(form, form ? (const void*)text16 : rows[i].text) == rows[i].status && answer == rows[i].answer);
            answer = -1;
            CHECK(CALL(form, NULL) == no_text && answer == -1);
        }
        for (k = 0; k < COUNT(bad8); ++k) {
            set_row("invalid UTF-8 appended", k);
            sprintf(text8, "%s%s", rows[i].text, bad8[k]);
            CHECK(CALL(0, text8) == USL_INVALID_ARGUMENT && answer == -1);
        }
        for (k = 0; k < COUNT(bad16); ++k) {
            set_row("unpaired surrogate appended", k);
            memcpy(text16 + n, bad16[k], sizeof bad16[k]);
            CHECK(CALL(1, text16) == USL_INVALID_ARGUMENT && answer == -1);
        }
    }
#undef CALL
}

// Every null argument answers USL_INVALID_ARGUMENT and writes nothing. (The
// text answers' null buffers and lengths are check_text's.)
static void test_null_arguments(usl_loader* loader) {
    static const usl_char16 fr16[] = {'f', 'r', 0};
    char text[8] = "xyz";
    int32_t ids[4] = {-1, -1, -1, -1}, language = -1;
    size_t i, count = 99;
    usl_loader* copy = loader;
    const usl_status statuses[] = {usl_loader_new(NULL),
                                   usl_loader_clone(NULL, &copy),
                                   usl_loader_clone(loader, NULL),
                                   usl_loader_load(NULL, g_dir),
                                   usl_loader_load16(NULL, fr16),
                                   usl_loader_default_language(NULL, &language),
                                   usl_loader_default_language(loader, NULL),
                                   usl_loader_set_default_language(NULL, 9),
                                   usl_loader_string(NULL, 9, 14, 1, text, 8, &count),
                                   usl_loader_string16(NULL, 9, 14, 1, NULL, 0, &count),
                                   usl_loader_languages(NULL, ids, 4, &count),
                                   usl_loader_languages(loader, NULL, 4, &count),
                                   usl_loader_languages(loader, ids, 4, NULL),
                                   usl_loader_match_language(NULL, 9, &language),
                                   usl_loader_match_language(loader, 9, NULL),
                                   usl_loader_language_of_text(NULL, 14, "Pourriels", 0, &language),
                                   usl_loader_language_of_text(loader, 14, "Pourriels", 0, NULL),
                                   usl_loader_language_of_text16(NULL, 14, fr16, 0, &language),
                                   usl_loader_language_of_text16(loader, 14, fr16, 0, NULL),
                                   usl_locale_to_language("fr", NULL),
                                   usl_locale_to_language16(fr16, NULL)};
    for (i = 0; i < COUNT(statuses); ++i) {
        set_row("null arguments", i);
        CHECK(statuses[i] == USL_INVALID_ARGUMENT);
    }
    CHECK(copy == loader && strcmp(text, "xyz") == 0 && ids[0] == -1 && language == -1 && count == 99);
    usl_loader_free(NULL);
}

// Trace records as the sink saw them.
struct trace_log {
    int records, from_elsewhere, astral_text, replaced_surrogate;
};

static void trace_sink(void* context, uint32_t level, const char* source_file, int32_t line, const char* message) {
    struct trace_log* log = (struct trace_log*)context;
    ++log->records;
    log->from_elsewhere += level == 0 || line <= 0 || strcmp(source_file, ".\\Util_StringLoader") != 0;
    log->astral_text += strstr(message, "Str:\xF0\x9F\x98\x80\xF0\x9F\x98\x80") != NULL;
    log->replaced_surrogate += strstr(message, "Str:a\xEF\xBF\xBDz") != NULL;
}

static void test_lifetime_loading_and_trace(void) {
    struct trace_log first = {0, 0, 0, 0}, second = {0, 0, 0, 0};
    usl_loader *loader = NULL, *copy = NULL;
    usl_char16 dir16[64];
    int32_t language = 0;
    int records;
    size_t length = 0;
    char text[64];

    set_case("trace sink", "records arrive in UTF-8");
    CHECK(usl_set_trace_sink(trace_sink, &first) == USL_OK);
    CHECK(usl_loader_new(&loader) == USL_OK && loader != NULL);
    CHECK(usl_loader_default_language(loader, &language) == USL_OK && language == 9);
    to_utf16(g_dir, dir16, 64);
    CHECK(usl_loader_load16(loader, dir16) == USL_OK);
    CHECK(first.records > 10 && first.from_elsewhere == 0 && first.astral_text == 1 && first.replaced_surrogate == 1);

    set_case("trace sink", "a second sink replaces the first; null restores the default");
    records = first.records;
    CHECK(usl_set_trace_sink(trace_sink, &second) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK && second.records == records && first.records == records);
    CHECK(usl_set_trace_sink(NULL, NULL) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK && second.records == records);

    set_case("clone", "an independent copy of tables and default language");
    CHECK(usl_loader_set_default_language(loader, 0x0c0c) == USL_OK);
    CHECK(usl_loader_clone(loader, &copy) == USL_OK && copy != NULL && copy != loader);
    CHECK(usl_loader_set_default_language(loader, 9) == USL_OK);
    usl_loader_free(loader);
    CHECK(usl_loader_default_language(copy, &language) == USL_OK && language == 0x0c0c);
    CHECK(usl_loader_string(copy, 0x0c0c, 14, 0, text, sizeof text, &length) == USL_OK &&
          strcmp(text, "Pourriels") == 0);
    usl_loader_free(copy);
}

int main(void) {
    usl_loader *loader = NULL, *empty = NULL;
    size_t i;
    make_dir(g_dir); // or it is left from an earlier run that stopped
    memset(g_fill, FILL, sizeof g_fill);
    for (i = 0; i < COUNT(g_tables); ++i) {
        if (!write_table(g_tables[i].name, g_tables[i].lines)) {
            printf("cannot write %s in %s\n", g_tables[i].name, g_dir);
            return 2;
        }
    }

    test_version_and_status_texts();
    test_lifetime_loading_and_trace();
    if (usl_loader_new(&loader) != USL_OK || usl_loader_new(&empty) != USL_OK ||
        usl_loader_load(loader, g_dir) != USL_OK) {
        printf("cannot load %s\n", g_dir);
        return 2;
    }
    test_text_out(loader);
    test_queries(loader, empty);
    test_text_in(loader);
    test_null_arguments(loader);
    usl_loader_free(loader);
    usl_loader_free(empty);

    for (i = 0; i < COUNT(g_tables); ++i) {
        char path[128];
        sprintf(path, "%s/%s", g_dir, g_tables[i].name);
        remove(path);
    }
    remove_dir(g_dir);
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
