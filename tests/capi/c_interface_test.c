/* The C interface from a C99 program, as a C caller links it: every function,
   every status it can give, the buffer rules (size query, exact fit, one
   short), null and invalid arguments, malformed UTF-8 and UTF-16, a text
   above U+FFFF and an unpaired surrogate stored in a table, and the trace
   sink. The tables are written as UTF-16LE, which the readers of both
   platforms take, into a fresh directory. Prints "N passed, N failed". */
#if !defined(_WIN32)
#define _XOPEN_SOURCE 700
#endif

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "util_stringloader_c.h"

#if defined(_WIN32)
#include <direct.h>
#include <process.h>
#define make_dir(path) _mkdir(path)
#define remove_dir(path) _rmdir(path)
#define process_id() _getpid()
#define TEMP_VARIABLES                                                                                                 \
    { "TEMP", "TMP" }
#else
#include <sys/stat.h>
#include <unistd.h>
#define make_dir(path) mkdir((path), 0700)
#define remove_dir(path) rmdir(path)
#define process_id() ((int)getpid())
#define TEMP_VARIABLES                                                                                                 \
    { "TMPDIR", "TMP" }
#endif

/* --- Checks ------------------------------------------------------------- */

static int g_passed, g_failed;
static char g_case[200]; /* the row being checked, printed with a failure */

static void set_case(const char* label, const char* step) {
    sprintf(g_case, "%.100s: %.90s", label, step);
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

/* --- UTF-16 and files --------------------------------------------------- */

/* UTF-8 to NUL-terminated UTF-16, without validation, so that "\xED\xA0\x80"
   gives the unpaired surrogate D800 (how a broken UTF-16 file holds it). */
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

static size_t length16(const usl_char16* text) {
    size_t units = 0;
    while (text[units] != 0) {
        ++units;
    }
    return units;
}

static char g_dir[512];
static char g_files[8][600];
static int g_file_count;

static int make_temp_dir(void) {
    static const char* const variables[] = TEMP_VARIABLES;
    const char* base = NULL;
    size_t i;
    int attempt;
    for (i = 0; i < sizeof variables / sizeof variables[0] && base == NULL; ++i) {
        base = getenv(variables[i]);
    }
    if (base == NULL || strlen(base) > 400) {
        base = ".";
    }
    for (attempt = 0; attempt < 100; ++attempt) {
        sprintf(g_dir, "%s/usl_c_test_%d_%d", base, process_id(), attempt);
        if (make_dir(g_dir) == 0) {
            return 1;
        }
    }
    return 0;
}

/* Writes dir/name as UTF-16LE with a byte-order mark and CR LF line ends. */
static void write_table(const char* name, const char* const* lines) {
    char* path = g_files[g_file_count++];
    FILE* file;
    sprintf(path, "%s/%s", g_dir, name);
    file = fopen(path, "wb");
    if (file == NULL) {
        printf("cannot write %s\n", path);
        exit(2);
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
    fclose(file);
}

/* Languages 7 (de), 9 (en), 0x0c (fr), 0x11 (ja) and 0x0c0c (fr_ca). An empty
   value stores nothing, so lookups fall back for it; a missing key stores a
   placeholder text. */
static const char* const g_en[] = {"[Strings]",
                                   "IDS_SPAM_FOLDER_NAME=Spam Mail",
                                   "IDS_INBOX_FOLDER_NAME=Inbox",
                                   "IDS_INBOX_FOLDER_NAME_LIST=Inbox;INBOX",
                                   "IDS_SD_PRIMARY_MAILBOX=",
                                   "IDS_SD_ARCHIVE_MAILBOX=Archive",
                                   NULL};
static const char* const g_fr[] = {"[Strings]",
                                   "IDS_SPAM_FOLDER_NAME=Courrier ind\xC3\xA9sirable",
                                   "IDS_INBOX_FOLDER_NAME=Bo\xC3\xAEte de r\xC3\xA9"
                                   "ception",
                                   "IDS_SD_PRIMARY_MAILBOX=",
                                   "IDS_SD_ARCHIVE_MAILBOX=",
                                   NULL};
static const char* const g_fr_ca[] = {"[Strings]",
                                      "IDS_SPAM_FOLDER_NAME=Pourriels",
                                      "IDS_INBOX_FOLDER_NAME=",
                                      "IDS_SD_PRIMARY_MAILBOX=",
                                      "IDS_SD_ARCHIVE_MAILBOX=",
                                      NULL};
static const char* const g_de[] = {"[Strings]", "IDS_SPAM_FOLDER_NAME=Spam \xF0\x9F\x98\x80",
                                   "IDS_INBOX_FOLDER_NAME_LIST=Posteingang; Eingang \xF0\x9F\x93\xA5", NULL};
/* A broken UTF-16 file: unpaired surrogates D800 and DC00. */
static const char* const g_ja[] = {"[Strings]",
                                   "IDS_SPAM_FOLDER_NAME=a\xED\xA0\x80"
                                   "b",
                                   "IDS_INBOX_FOLDER_NAME=\xED\xB0\x80", NULL};

/* --- Text answers: one checker per encoding ----------------------------- */

typedef usl_status (*text8_call)(const void* args, char* buffer, size_t capacity, size_t* length);
typedef usl_status (*text16_call)(const void* args, usl_char16* buffer, size_t capacity, size_t* length);

#define BUFFER_UNITS 128
#define FILL 0x5A

static int untouched8(const char* buffer) {
    int i;
    for (i = 0; i < BUFFER_UNITS; ++i) {
        if (buffer[i] != FILL) {
            return 0;
        }
    }
    return 1;
}

static int untouched16(const usl_char16* buffer) {
    int i;
    for (i = 0; i < BUFFER_UNITS; ++i) {
        if (buffer[i] != FILL) {
            return 0;
        }
    }
    return 1;
}

/* `expected` null: the call answers no text (USL_NOT_FOUND). */
static void check_text8(const char* label, text8_call call, const void* args, const char* expected) {
    char buffer[BUFFER_UNITS];
    const size_t n = expected != NULL ? strlen(expected) : 0;
    size_t length = 999;

    set_case(label, "UTF-8 size query");
    CHECK(call(args, NULL, 0, &length) == (expected != NULL ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND));
    CHECK(length == n);

    set_case(label, "UTF-8 exact fit");
    memset(buffer, FILL, sizeof buffer);
    length = 999;
    CHECK(call(args, buffer, n + 1, &length) == (expected != NULL ? USL_OK : USL_NOT_FOUND));
    CHECK(length == n && memcmp(buffer, expected != NULL ? expected : "", n + 1) == 0 && buffer[n + 1] == FILL);

    if (n > 0) {
        set_case(label, "UTF-8 one short");
        memset(buffer, FILL, sizeof buffer);
        length = 999;
        CHECK(call(args, buffer, n, &length) == USL_BUFFER_TOO_SMALL && length == n && untouched8(buffer));
    }

    set_case(label, "UTF-8 null length, null buffer with room");
    memset(buffer, FILL, sizeof buffer);
    length = 999;
    CHECK(call(args, buffer, sizeof buffer, NULL) == USL_INVALID_ARGUMENT && untouched8(buffer));
    CHECK(call(args, NULL, 1, &length) == USL_INVALID_ARGUMENT && length == 999);
}

static void check_text16(const char* label, text16_call call, const void* args, const usl_char16* expected) {
    usl_char16 buffer[BUFFER_UNITS];
    const size_t n = expected != NULL ? length16(expected) : 0;
    size_t length = 999, k;

    set_case(label, "UTF-16 size query");
    CHECK(call(args, NULL, 0, &length) == (expected != NULL ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND));
    CHECK(length == n);

    set_case(label, "UTF-16 exact fit");
    for (k = 0; k < BUFFER_UNITS; ++k) {
        buffer[k] = FILL;
    }
    length = 999;
    CHECK(call(args, buffer, n + 1, &length) == (expected != NULL ? USL_OK : USL_NOT_FOUND));
    CHECK(length == n && buffer[n] == 0 && buffer[n + 1] == FILL);
    CHECK(n == 0 || memcmp(buffer, expected, n * sizeof *buffer) == 0);

    if (n > 0) {
        set_case(label, "UTF-16 one short");
        for (k = 0; k < BUFFER_UNITS; ++k) {
            buffer[k] = FILL;
        }
        length = 999;
        CHECK(call(args, buffer, n, &length) == USL_BUFFER_TOO_SMALL && length == n && untouched16(buffer));
    }

    set_case(label, "UTF-16 null length, null buffer with room");
    for (k = 0; k < BUFFER_UNITS; ++k) {
        buffer[k] = FILL;
    }
    length = 999;
    CHECK(call(args, buffer, BUFFER_UNITS, NULL) == USL_INVALID_ARGUMENT && untouched16(buffer));
    CHECK(call(args, NULL, 1, &length) == USL_INVALID_ARGUMENT && length == 999);
}

struct lookup {
    const usl_loader* loader;
    int32_t language, id;
    int fallback;
};

static usl_status lookup8(const void* args, char* buffer, size_t capacity, size_t* length) {
    const struct lookup* k = (const struct lookup*)args;
    return usl_loader_string(k->loader, k->language, k->id, k->fallback, buffer, capacity, length);
}
static usl_status lookup16(const void* args, usl_char16* buffer, size_t capacity, size_t* length) {
    const struct lookup* k = (const struct lookup*)args;
    return usl_loader_string16(k->loader, k->language, k->id, k->fallback, buffer, capacity, length);
}
static usl_status locale8(const void* args, char* buffer, size_t capacity, size_t* length) {
    return usl_language_to_locale(*(const uint32_t*)args, buffer, capacity, length);
}
static usl_status locale16(const void* args, usl_char16* buffer, size_t capacity, size_t* length) {
    return usl_language_to_locale16(*(const uint32_t*)args, buffer, capacity, length);
}

/* --- The tests ---------------------------------------------------------- */

static void test_version_and_status_texts(void) {
    char expected[32];
    int status, other;
    set_case("version", "usl_version");
    sprintf(expected, "%d.%d.%d", USL_VERSION_MAJOR, USL_VERSION_MINOR, USL_VERSION_PATCH);
    CHECK(strcmp(usl_version(), expected) == 0 && strcmp(usl_version(), USL_TEST_PROJECT_VERSION) == 0);

    set_case("status texts", "each known status has its own sentence");
    for (status = USL_OK; status <= USL_OUT_OF_MEMORY; ++status) {
        const char* text = usl_status_text((usl_status)status);
        CHECK(text != NULL && strlen(text) > 3 && strcmp(text, "unknown status") != 0);
        for (other = USL_OK; other < status; ++other) {
            CHECK(strcmp(text, usl_status_text((usl_status)other)) != 0);
        }
    }
    set_case("status texts", "other values");
    CHECK(strcmp(usl_status_text((usl_status)6), "unknown status") == 0);
    CHECK(strcmp(usl_status_text((usl_status)1000), "unknown status") == 0);
    CHECK(strcmp(usl_status_text((usl_status)-1), "unknown status") == 0);
}

static void test_lookups(const usl_loader* loader) {
    static const struct {
        const char* label;
        int32_t language, id;
        int fallback;
        const char* stored; /* as written in the table; null: no text answers */
        const char* utf8;   /* the UTF-8 answer, when it differs from stored */
    } rows[] = {
        {"exact table", 0x0c0c, 14, 0, "Pourriels", NULL},
        {"empty value, no fallback", 0x0c0c, 20, 0, NULL, NULL},
        {"empty value, neutral table answers", 0x0c0c, 20, 1,
         "Bo\xC3\xAEte de r\xC3\xA9"
         "ception",
         NULL},
        {"neutral table loaded but empty: English not asked", 0x0c0c, 23, 1, NULL, NULL},
        {"no table of the language: English", 0x0419, 14, 1, "Spam Mail", NULL},
        {"no table of the language, no fallback", 0x0419, 14, 0, NULL, NULL},
        {"no table holds it", 0x0419, 22, 1, NULL, NULL},
        {"missing key: placeholder", 7, 20, 0, "Cannot load string:IDS_INBOX_FOLDER_NAME", NULL},
        {"text above U+FFFF", 7, 14, 0, "Spam \xF0\x9F\x98\x80", NULL},
        {"stored unpaired high surrogate", 0x11, 14, 0,
         "a\xED\xA0\x80"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"stored unpaired low surrogate", 0x11, 20, 1, "\xED\xB0\x80", "\xEF\xBF\xBD"},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        struct lookup args;
        usl_char16 expected16[BUFFER_UNITS];
        args.loader = loader;
        args.language = rows[i].language;
        args.id = rows[i].id;
        args.fallback = rows[i].fallback;
        check_text8(rows[i].label, lookup8, &args, rows[i].utf8 != NULL ? rows[i].utf8 : rows[i].stored);
        if (rows[i].stored != NULL) {
            to_utf16(rows[i].stored, expected16, BUFFER_UNITS);
        }
        check_text16(rows[i].label, lookup16, &args, rows[i].stored != NULL ? expected16 : NULL);
    }

    {
        /* The pair spelled out, independent of this file's own UTF-16 writer. */
        static const usl_char16 spam[] = {'S', 'p', 'a', 'm', ' ', 0xD83D, 0xDE00, 0};
        usl_char16 buffer[16];
        size_t length = 0;
        set_case("text above U+FFFF", "surrogate pair units");
        CHECK(usl_loader_string16(loader, 7, 14, 0, buffer, 16, &length) == USL_OK && length == 7);
        CHECK(memcmp(buffer, spam, sizeof spam) == 0);
    }
    {
        char buffer[8] = "xyz";
        size_t length = 5;
        set_case("lookup", "null loader");
        CHECK(usl_loader_string(NULL, 9, 14, 1, buffer, 8, &length) == USL_INVALID_ARGUMENT);
        CHECK(usl_loader_string16(NULL, 9, 14, 1, NULL, 0, &length) == USL_INVALID_ARGUMENT);
        CHECK(length == 5 && strcmp(buffer, "xyz") == 0);
    }
}

static void test_languages(usl_loader* loader, usl_loader* empty) {
    static const int32_t expected[] = {7, 9, 0x0c, 0x11, 0x0c0c}; /* ascending */
    int32_t ids[8];
    size_t count = 99;
    int i;

    set_case("languages", "count query");
    CHECK(usl_loader_languages(loader, NULL, 0, &count) == USL_BUFFER_TOO_SMALL && count == 5);
    set_case("languages", "exact room");
    count = 0;
    CHECK(usl_loader_languages(loader, ids, 5, &count) == USL_OK && count == 5);
    CHECK(memcmp(ids, expected, sizeof expected) == 0);
    set_case("languages", "one short leaves the array untouched");
    for (i = 0; i < 8; ++i) {
        ids[i] = -1;
    }
    CHECK(usl_loader_languages(loader, ids, 4, &count) == USL_BUFFER_TOO_SMALL && count == 5 && ids[0] == -1);
    set_case("languages", "empty loader");
    count = 99;
    CHECK(usl_loader_languages(empty, NULL, 0, &count) == USL_OK && count == 0);
    set_case("languages", "null arguments");
    count = 99;
    CHECK(usl_loader_languages(NULL, ids, 8, &count) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_languages(loader, NULL, 8, &count) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_languages(loader, ids, 8, NULL) == USL_INVALID_ARGUMENT);
    CHECK(count == 99 && ids[0] == -1);
}

static void test_match_and_default_language(usl_loader* loader) {
    static const struct {
        int32_t language, match;
    } rows[] = {{0x0c0c, 0x0c0c}, {0x080c, 0x0c}, {0x0407, 7}, {0x0419, 0}};
    size_t i;
    int32_t value = -1;
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        set_case("match language", "row");
        value = -1;
        CHECK(usl_loader_match_language(loader, rows[i].language, &value) ==
                  (rows[i].match != 0 ? USL_OK : USL_NOT_FOUND) &&
              value == rows[i].match);
    }
    set_case("match language", "null arguments");
    value = -1;
    CHECK(usl_loader_match_language(NULL, 9, &value) == USL_INVALID_ARGUMENT && value == -1);
    CHECK(usl_loader_match_language(loader, 9, NULL) == USL_INVALID_ARGUMENT);

    set_case("default language", "set, read, null arguments");
    CHECK(usl_loader_set_default_language(loader, 0x0419) == USL_OK);
    CHECK(usl_loader_default_language(loader, &value) == USL_OK && value == 0x0419);
    CHECK(usl_loader_set_default_language(NULL, 5) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_default_language(NULL, &value) == USL_INVALID_ARGUMENT && value == 0x0419);
    CHECK(usl_loader_default_language(loader, NULL) == USL_INVALID_ARGUMENT);
}

/* Appends UTF-8 `tail` to `head` (both from the tables above) in `out`. */
static const char* joined(char* out, const char* head, const char* tail) {
    sprintf(out, "%s%s", head, tail);
    return out;
}

static void test_text_in(usl_loader* loader) {
    /* REQUIRES: default language 0x0419 (test_match_and_default_language). */
    static const struct {
        const char* label;
        int32_t id;
        const char* text;
        int as_list;
        int32_t language;
    } rows[] = {
        {"whole text", 14, "Pourriels", 0, 0x0c0c},
        {"whole text, first of two tables", 14, "Spam Mail", 0, 9},
        {"whole text above U+FFFF", 14, "Spam \xF0\x9F\x98\x80", 0, 7},
        {"list item", 21, "INBOX", 1, 9},
        {"list item above U+FFFF", 21, "Eingang \xF0\x9F\x93\xA5", 1, 7},
        {"list item is not the whole text", 21, "INBOX", 0, 0x0419},
        {"no table holds it: default", 14, "Spam", 0, 0x0419},
    };
    static const struct {
        const char* label;
        const char* text;
        uint32_t language;
    } locales[] = {
        {"locale with region", "fr_ca", 0x0c0c},
        {"upper case", "ZH_TW", 0x0404},
        {"primary only", "fr", 0x0c},
        {"unknown", "xx", 0},
        {"empty", "", 0},
        {"region above U+FFFF", "zh_\xF0\x9F\x98\x80", 0x04},
    };
    /* Each one makes the text invalid; appended to a text that would answer. */
    static const struct {
        const char* label;
        const char* bytes;
    } bad8[] = {
        {"overlong 2 bytes", "\xC0\xAF"},
        {"overlong 3 bytes", "\xE0\x80\xAF"},
        {"overlong 4 bytes", "\xF0\x80\x80\xAF"},
        {"surrogate D800", "\xED\xA0\x80"},
        {"surrogate DFFF", "\xED\xBF\xBF"},
        {"truncated at the end", "\xF0\x9F\x98"},
        {"truncated before ASCII", "\xE2\x82x"},
        {"stray continuation", "\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80"},
        {"lead byte F5", "\xF5\x80\x80\x80"},
        {"byte FF", "\xFF"},
    };
    static const struct {
        const char* label;
        usl_char16 units[4];
    } bad16[] = {
        {"high surrogate at the end", {0xD800, 0}},
        {"high surrogate before a letter", {0xD800, 'a', 0}},
        {"low surrogate alone", {0xDC00, 0}},
        {"pair reversed", {0xDC00, 0xD800, 0}},
        {"high surrogate before a pair", {0xD800, 0xD83D, 0xDE00, 0}},
    };
    char text8[600];
    usl_char16 text16[64], dir16[600];
    size_t i, k;
    int32_t language = -1;
    uint32_t id = 99;

    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        set_case(rows[i].label, "language of text, UTF-8 and UTF-16");
        to_utf16(rows[i].text, text16, 64);
        language = -1;
        CHECK(usl_loader_language_of_text(loader, rows[i].id, rows[i].text, rows[i].as_list, &language) == USL_OK &&
              language == rows[i].language);
        language = -1;
        CHECK(usl_loader_language_of_text16(loader, rows[i].id, text16, rows[i].as_list, &language) == USL_OK &&
              language == rows[i].language);
    }
    for (i = 0; i < sizeof locales / sizeof locales[0]; ++i) {
        const usl_status status = locales[i].language != 0 ? USL_OK : USL_NOT_FOUND;
        set_case(locales[i].label, "locale to language, UTF-8 and UTF-16");
        to_utf16(locales[i].text, text16, 64);
        id = 99;
        CHECK(usl_locale_to_language(locales[i].text, &id) == status && id == locales[i].language);
        id = 99;
        CHECK(usl_locale_to_language16(text16, &id) == status && id == locales[i].language);
    }

    for (i = 0; i < sizeof bad8 / sizeof bad8[0]; ++i) {
        set_case(bad8[i].label, "invalid UTF-8 in every text argument");
        language = -1;
        id = 99;
        CHECK(usl_loader_language_of_text(loader, 14, joined(text8, "Pourriels", bad8[i].bytes), 0, &language) ==
                  USL_INVALID_ARGUMENT &&
              language == -1);
        CHECK(usl_loader_language_of_text(loader, 21, joined(text8, "INBOX;", bad8[i].bytes), 1, &language) ==
                  USL_INVALID_ARGUMENT &&
              language == -1);
        CHECK(usl_locale_to_language(joined(text8, "fr", bad8[i].bytes), &id) == USL_INVALID_ARGUMENT && id == 99);
        CHECK(usl_loader_load(loader, joined(text8, g_dir, bad8[i].bytes)) == USL_INVALID_ARGUMENT);
    }
    for (i = 0; i < sizeof bad16 / sizeof bad16[0]; ++i) {
        set_case(bad16[i].label, "unpaired surrogate in every UTF-16 text argument");
        k = to_utf16("fr", text16, 64);
        memcpy(text16 + k, bad16[i].units, sizeof bad16[i].units);
        id = 99;
        CHECK(usl_locale_to_language16(text16, &id) == USL_INVALID_ARGUMENT && id == 99);
        k = to_utf16("Pourriels", text16, 64);
        memcpy(text16 + k, bad16[i].units, sizeof bad16[i].units);
        language = -1;
        CHECK(usl_loader_language_of_text16(loader, 14, text16, 0, &language) == USL_INVALID_ARGUMENT &&
              language == -1);
        CHECK(usl_loader_language_of_text16(loader, 14, text16, 1, &language) == USL_INVALID_ARGUMENT &&
              language == -1);
        k = to_utf16(g_dir, dir16, 600);
        memcpy(dir16 + k, bad16[i].units, sizeof bad16[i].units);
        CHECK(usl_loader_load16(loader, dir16) == USL_INVALID_ARGUMENT);
    }

    set_case("text in", "null arguments");
    to_utf16("fr", text16, 64);
    language = -1;
    id = 99;
    CHECK(usl_loader_language_of_text(NULL, 14, "Pourriels", 0, &language) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_language_of_text(loader, 14, NULL, 0, &language) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_language_of_text(loader, 14, "Pourriels", 0, NULL) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_language_of_text16(NULL, 14, text16, 0, &language) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_language_of_text16(loader, 14, NULL, 0, &language) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_language_of_text16(loader, 14, text16, 0, NULL) == USL_INVALID_ARGUMENT);
    CHECK(usl_locale_to_language(NULL, &id) == USL_INVALID_ARGUMENT);
    CHECK(usl_locale_to_language("fr", NULL) == USL_INVALID_ARGUMENT);
    CHECK(usl_locale_to_language16(NULL, &id) == USL_INVALID_ARGUMENT);
    CHECK(usl_locale_to_language16(text16, NULL) == USL_INVALID_ARGUMENT);
    CHECK(language == -1 && id == 99);
}

static void test_language_to_locale(void) {
    static const struct {
        uint32_t language;
        const char* locale; /* null: none */
    } rows[] = {{0x0404, "zh_tw"}, {0x000c, "fr"}, {0x0c0c, "fr_ca"}, {0x0000, NULL}, {0x03ff, NULL}};
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        usl_char16 expected16[16];
        to_utf16(rows[i].locale != NULL ? rows[i].locale : "", expected16, 16);
        check_text8("language to locale", locale8, &rows[i].language, rows[i].locale);
        check_text16("language to locale", locale16, &rows[i].language, rows[i].locale != NULL ? expected16 : NULL);
    }
}

/* Trace records as the sink saw them. */
struct trace_log {
    int records, from_elsewhere, astral_text, replaced_surrogate;
};

static void trace_sink(void* context, uint32_t level, const char* source_file, int32_t line, const char* message) {
    struct trace_log* log = (struct trace_log*)context;
    ++log->records;
    if (level == 0 || line <= 0 || strcmp(source_file, ".\\Util_StringLoader") != 0) {
        ++log->from_elsewhere;
    }
    log->astral_text += strstr(message, "Str:Spam \xF0\x9F\x98\x80") != NULL;
    log->replaced_surrogate += strstr(message, "Str:a\xEF\xBF\xBD"
                                               "b") != NULL;
}

static void test_lifetime_loading_and_trace(void) {
    struct trace_log first, second;
    usl_loader *loader = NULL, *copy = NULL, *untouched = (usl_loader*)&first;
    usl_char16 dir16[600];
    int32_t language = 0;
    size_t count = 0;
    char text[600];
    memset(&first, 0, sizeof first);
    memset(&second, 0, sizeof second);

    set_case("trace sink", "records arrive in UTF-8");
    CHECK(usl_set_trace_sink(trace_sink, &first) == USL_OK);
    CHECK(usl_loader_new(&loader) == USL_OK && loader != NULL);
    CHECK(usl_loader_default_language(loader, &language) == USL_OK && language == 9);
    to_utf16(g_dir, dir16, 600);
    CHECK(usl_loader_load16(loader, dir16) == USL_OK);
    CHECK(usl_loader_languages(loader, NULL, 0, &count) == USL_BUFFER_TOO_SMALL && count == 5);
    CHECK(first.records > 10 && first.from_elsewhere == 0);
    CHECK(first.astral_text == 1 && first.replaced_surrogate == 1);

    set_case("trace sink", "a second sink replaces the first; null restores the default");
    CHECK(usl_set_trace_sink(trace_sink, &second) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK);
    CHECK(second.records == first.records && second.astral_text == 1);
    CHECK(usl_set_trace_sink(NULL, NULL) == USL_OK);
    CHECK(usl_loader_load(loader, g_dir) == USL_OK);
    CHECK(second.records == first.records);

    set_case("load", "statuses");
    CHECK(usl_loader_load(loader, NULL) == USL_NO_DIRECTORY); /* the test runs without installation settings */
    CHECK(usl_loader_load16(loader, NULL) == USL_NO_DIRECTORY);
    CHECK(usl_loader_load(loader, joined(text, g_dir, "/none")) == USL_OK); /* no files: nothing more loaded */
    CHECK(usl_loader_languages(loader, NULL, 0, &count) == USL_BUFFER_TOO_SMALL && count == 5);
    CHECK(usl_loader_load(NULL, g_dir) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_load16(NULL, dir16) == USL_INVALID_ARGUMENT);

    set_case("clone", "an independent copy of tables and default language");
    CHECK(usl_loader_set_default_language(loader, 0x0c0c) == USL_OK);
    CHECK(usl_loader_clone(loader, &copy) == USL_OK && copy != NULL && copy != loader);
    CHECK(usl_loader_set_default_language(loader, 9) == USL_OK);
    usl_loader_free(loader);
    CHECK(usl_loader_default_language(copy, &language) == USL_OK && language == 0x0c0c);
    CHECK(usl_loader_string(copy, 0x0c0c, 14, 0, text, sizeof text, &count) == USL_OK &&
          strcmp(text, "Pourriels") == 0);

    set_case("lifetime", "null arguments");
    CHECK(usl_loader_new(NULL) == USL_INVALID_ARGUMENT);
    CHECK(usl_loader_clone(NULL, &untouched) == USL_INVALID_ARGUMENT && untouched == (usl_loader*)&first);
    CHECK(usl_loader_clone(copy, NULL) == USL_INVALID_ARGUMENT);
    usl_loader_free(NULL);
    usl_loader_free(copy);
}

int main(void) {
    usl_loader *loader = NULL, *empty = NULL;
    int i;
    if (!make_temp_dir()) {
        printf("cannot make a temporary directory\n");
        return 2;
    }
    write_table("en.cfg", g_en);
    write_table("fr.cfg", g_fr);
    write_table("fr_ca.cfg", g_fr_ca);
    write_table("de.cfg", g_de);
    write_table("ja.cfg", g_ja);

    test_version_and_status_texts();
    test_lifetime_loading_and_trace();
    if (usl_loader_new(&loader) != USL_OK || usl_loader_new(&empty) != USL_OK ||
        usl_loader_load(loader, g_dir) != USL_OK) {
        printf("cannot load %s\n", g_dir);
        return 2;
    }
    test_lookups(loader);
    test_languages(loader, empty);
    test_match_and_default_language(loader);
    test_text_in(loader);
    test_language_to_locale();
    usl_loader_free(loader);
    usl_loader_free(empty);

    for (i = 0; i < g_file_count; ++i) {
        remove(g_files[i]);
    }
    remove_dir(g_dir);
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
