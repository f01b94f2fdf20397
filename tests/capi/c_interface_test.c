// The C interface from a C99 program, as a C caller links it: the version and
// status texts, loading, the queries, the calls that take a text (valid,
// null, malformed UTF-8 and UTF-16, a text above U+FFFF), every null argument,
// clone and the trace sink. The text answers' buffer rules and which text a
// lookup answers are c_interface_boundary_test's, and USL_OUT_OF_MEMORY, which
// needs a failing allocator. Prints "N passed, N failed".
#include <stdio.h>
#include <string.h>

#include "util_stringloader_c.h"

#define COUNT(array) (sizeof(array) / sizeof((array)[0]))

// --- Checks ----------------------------------------------------------------

static int g_passed, g_failed;
static const char* g_case = ""; // what is being checked, printed with a failure
static size_t g_row;            // and the row of its table

static void check(int ok, const char* what, int line) {
    g_passed += ok;
    if (!ok) {
        ++g_failed;
        printf("FAILED line %d [%s, row %d]: %s\n", line, g_case, (int)g_row, what);
    }
}
#define CHECK(condition) check((condition) != 0, #condition, __LINE__)

// --- UTF-16 and the tables -------------------------------------------------

// UTF-8 to NUL-terminated UTF-16, without validation: the rows' texts in their
// UTF-16 form.
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

// The tables, in tests/capi/data (copied beside the test, its working
// directory): languages 9 (en), 0x0c (fr), 0x0c0c (fr_ca) and 0x11 (ja). ja.cfg
// is a broken UTF-16LE file: its spam folder name is "a", an unpaired D800 and
// "z"; its inbox name two U+1F600; its inbox list "Posteingang; Eingang U+1F4E5".
static const char g_dir[] = "c_interface_data";

// --- The tests ---------------------------------------------------------------

static void test_version_and_status_texts(void) {
    char expected[32];
    int status, other;
    g_case = "version and status texts";
    sprintf(expected, "%d.%d.%d", USL_VERSION_MAJOR, USL_VERSION_MINOR, USL_VERSION_PATCH);
    CHECK(strcmp(usl_version(), expected) == 0 && strcmp(usl_version(), USL_TEST_PROJECT_VERSION) == 0);
    // Each status its own text; the first value past them, and -1, unknown.
    for (status = -1; status <= USL_OUT_OF_MEMORY + 1; ++status) {
        const char* text = usl_status_text((usl_status)status);
        CHECK((strcmp(text, "unknown status") == 0) == (status < USL_OK || status > USL_OUT_OF_MEMORY));
        for (other = USL_OK; other < status && status <= USL_OUT_OF_MEMORY; ++other) {
            CHECK(strcmp(text, usl_status_text((usl_status)other)) != 0);
        }
    }
}

static void test_queries(usl_loader* loader, const usl_loader* empty) {
    static const int32_t expected[] = {9, 0x0c, 0x11, 0x0c0c}; // ascending
    static const struct { int32_t language, match; } matches[] = {{0x0c0c, 0x0c0c}, {0x080c, 0x0c}, {0x0419, 0}};
    int32_t ids[8] = {-1, -1, -1, -1, -1, -1, -1, -1}, value = -1;
    size_t i, count = 99;

    g_case = "languages: count query, one short, exact room, empty loader";
    CHECK(usl_loader_languages(loader, NULL, 0, &count) == USL_BUFFER_TOO_SMALL && count == 4);
    count = 0;
    CHECK(usl_loader_languages(loader, ids, 3, &count) == USL_BUFFER_TOO_SMALL && count == 4 && ids[0] == -1);
    count = 0;
    CHECK(usl_loader_languages(loader, ids, 4, &count) == USL_OK && count == 4 && ids[4] == -1);
    CHECK(memcmp(ids, expected, sizeof expected) == 0);
    CHECK(usl_loader_languages(empty, NULL, 0, &count) == USL_OK && count == 0);

    for (i = 0; i < COUNT(matches); ++i) {
        g_case = "match language", g_row = i;
        value = -1;
        CHECK(usl_loader_match_language(loader, matches[i].language, &value) ==
                  (matches[i].match != 0 ? USL_OK : USL_NOT_FOUND) &&
              value == matches[i].match);
    }
    g_case = "default language set and read back";
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
        {"list item (any nonzero flag)", language_of, 21, -1, "INBOX", USL_OK, 9},
        {"list item is not the whole text: default", language_of, 21, 0, "INBOX", USL_OK, 0x0419},
        {"list item above U+FFFF", language_of, 21, 1, "Eingang \xF0\x9F\x93\xA5", USL_OK, 0x11},
        {"locale", locale_of, 0, 0, "fr_ca", USL_OK, 0x0c0c},
        {"unknown locale", locale_of, 0, 0, "xx", USL_NOT_FOUND, 0},
        {"load from a missing directory: nothing more", load_from, 0, 0, "none", USL_OK, -1},
        {"an empty directory name is a directory, not the settings'", load_from, 0, 0, "", USL_OK, -1},
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
        g_case = rows[i].label, g_row = i;
        n = to_utf16(rows[i].text, text16, 64);
        for (form = 0; form < 2; ++form) {
            answer = -1;
            CHECK(CALL(form, form ? (const void*)text16 : rows[i].text) == rows[i].status && answer == rows[i].answer);
            answer = -1;
            CHECK(CALL(form, NULL) == no_text && answer == -1);
        }
        for (k = 0; k < COUNT(bad8); ++k) {
            g_row = k; // of bad8
            sprintf(text8, "%s%s", rows[i].text, bad8[k]);
            CHECK(CALL(0, text8) == USL_INVALID_ARGUMENT && answer == -1);
        }
        for (k = 0; k < COUNT(bad16); ++k) {
            g_row = k; // of bad16
            memcpy(text16 + n, bad16[k], sizeof bad16[k]);
            CHECK(CALL(1, text16) == USL_INVALID_ARGUMENT && answer == -1);
        }
    }
#undef CALL
}

// Every null argument answers USL_INVALID_ARGUMENT and writes nothing; the
// UTF-16 forms share their checks with the UTF-8 ones. (The text answers' null
// buffers and lengths are c_interface_boundary_test's.)
static void test_null_arguments(usl_loader* loader) {
    char text[8] = "xyz";
    int32_t ids[4] = {-1, -1, -1, -1}, language = -1;
    size_t i, count = 99;
    usl_loader* copy = loader;
    const usl_status statuses[] = {usl_loader_new(NULL),
                                   usl_loader_clone(NULL, &copy),
                                   usl_loader_clone(loader, NULL),
                                   usl_loader_load(NULL, g_dir),
                                   usl_loader_load(NULL, NULL),
                                   usl_loader_default_language(NULL, &language),
                                   usl_loader_default_language(loader, NULL),
                                   usl_loader_set_default_language(NULL, 9),
                                   usl_loader_string(NULL, 9, 14, 1, text, 8, &count),
                                   usl_loader_languages(NULL, ids, 4, &count),
                                   usl_loader_languages(loader, NULL, 4, &count),
                                   usl_loader_languages(loader, ids, 4, NULL),
                                   usl_loader_match_language(NULL, 9, &language),
                                   usl_loader_match_language(loader, 9, NULL),
                                   usl_loader_language_of_text(NULL, 14, "Pourriels", 0, &language),
                                   usl_loader_language_of_text(loader, 14, "Pourriels", 0, NULL),
                                   usl_locale_to_language("fr", NULL)};
    for (i = 0; i < COUNT(statuses); ++i) {
        g_case = "null arguments", g_row = i;
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

    g_case = "trace sink: records arrive in UTF-8";
    CHECK(usl_set_trace_sink(trace_sink, &first) == USL_OK);
    CHECK(usl_loader_new(&loader) == USL_OK && loader != NULL);
    CHECK(usl_loader_default_language(loader, &language) == USL_OK && language == 9);
    to_utf16(g_dir, dir16, 64);
    CHECK(usl_loader_load16(loader, dir16) == USL_OK);
    CHECK(first.records > 10 && first.from_elsewhere == 0 && first.astral_text == 1 && first.replaced_surrogate == 1);

    g_case = "trace sink: a second sink replaces the first; null restores the default";
    records = first.records;
    CHECK(usl_set_trace_sink(trace_sink, &second) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK && second.records == records && first.records == records);
    CHECK(usl_set_trace_sink(NULL, NULL) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK && second.records == records);

    g_case = "clone: an independent copy of tables and default language";
    CHECK(usl_loader_set_default_language(loader, 0x10c0c) == USL_OK); // all 32 bits
    CHECK(usl_loader_clone(loader, &copy) == USL_OK && copy != NULL && copy != loader);
    usl_loader_free(loader);
    CHECK(usl_loader_default_language(copy, &language) == USL_OK && language == 0x10c0c);
    CHECK(usl_loader_string(copy, 0x0c0c, 14, 0, text, sizeof text, &length) == USL_OK &&
          strcmp(text, "Pourriels") == 0);
    usl_loader_free(copy);
}

int main(void) {
    usl_loader *loader = NULL, *empty = NULL;
    test_version_and_status_texts();
    test_lifetime_loading_and_trace();
    if (usl_loader_new(&loader) != USL_OK || usl_loader_new(&empty) != USL_OK ||
        usl_loader_load(loader, g_dir) != USL_OK) {
        printf("cannot load %s\n", g_dir);
        return 2;
    }
    test_queries(loader, empty);
    test_text_in(loader);
    test_null_arguments(loader);
    usl_loader_free(loader);
    usl_loader_free(empty);
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
