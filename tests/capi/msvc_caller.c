/* A caller of the DLL's C functions built as an MSVC project builds: compiled
   for the x86_64-pc-windows-msvc target, linked by lld-link against the zip's
   util_stringloader.lib, and with no C runtime at all (its own entry point;
   its only other imports are three kernel32 functions, declared below since
   there are no Windows headers). tools/ci/windows-zip-test.sh builds it and
   runs it from the unpacked zip's folder under Wine, with the sample tables in
   res\ and one table with a text above U+FFFF in astral\. It prints one line
   per check and the UTF-8 answers, and exits with 0 when every check passed,
   else 1. */
#include "util_stringloader_c.h"

typedef void* HANDLE;
__declspec(dllimport) HANDLE GetStdHandle(unsigned long std_handle);
__declspec(dllimport) int WriteFile(HANDLE file, const void* data, unsigned long size, unsigned long* written,
                                    void* overlapped);
__declspec(dllimport) __declspec(noreturn) void ExitProcess(unsigned int status);
#define STD_OUTPUT_HANDLE ((unsigned long)-11)

/* ---- Output: one line at a time, written with WriteFile ---- */

static char line[512];
static size_t line_used;
static int checks, failures;

static void put(const char* text) {
    while (*text != '\0' && line_used < sizeof line - 1) {
        line[line_used++] = *text++;
    }
}

static void put_number(uint32_t value, uint32_t base) {
    char digits[16];
    size_t count = 0;
    if (base == 16) {
        put("0x");
    }
    do {
        digits[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    while (count > 0 && line_used < sizeof line - 1) {
        line[line_used++] = digits[--count];
    }
}

static void end_line(void) {
    unsigned long written = 0;
    line[line_used++] = '\n';
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (unsigned long)line_used, &written, 0);
    line_used = 0;
}

/* One check: "ok   what" or "FAIL what". */
static void check(int passed, const char* what) {
    ++checks;
    if (!passed) {
        ++failures;
    }
    put(passed ? "ok   " : "FAIL ");
    put(what);
    end_line();
}

/* A status check that names both statuses when they differ. */
static void check_status(usl_status seen, usl_status wanted, const char* what) {
    check(seen == wanted, what);
    if (seen != wanted) {
        put("     answered: ");
        put(usl_status_text(seen));
        put(" wanted: ");
        put(usl_status_text(wanted));
        end_line();
    }
}

/* ---- Small string helpers: no C runtime to lean on ---- */

static size_t length16(const usl_char16* text) {
    size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

static size_t length8(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}

/* buffer[0..n) equals expected[0..n) and buffer[n] is the NUL. */
static int equal16(const usl_char16* buffer, const usl_char16* expected, size_t n) {
    size_t i;
    for (i = 0; i < n; ++i) {
        if (buffer[i] != expected[i]) {
            return 0;
        }
    }
    return buffer[n] == 0;
}

static int equal8(const char* buffer, const char* expected, size_t n) {
    size_t i;
    for (i = 0; i < n; ++i) {
        if (buffer[i] != expected[i]) {
            return 0;
        }
    }
    return buffer[n] == '\0';
}

#define SENTINEL 0x2a
static usl_char16 wide[128];
static char narrow[256];

static void fill_sentinels(void) {
    size_t i;
    for (i = 0; i < sizeof wide / sizeof wide[0]; ++i) {
        wide[i] = SENTINEL;
    }
    for (i = 0; i < sizeof narrow; ++i) {
        narrow[i] = SENTINEL;
    }
}

/* No unit from index from on was written. */
static int untouched16(size_t from) {
    size_t i;
    for (i = from; i < sizeof wide / sizeof wide[0]; ++i) {
        if (wide[i] != SENTINEL) {
            return 0;
        }
    }
    return 1;
}

static int untouched8(size_t from) {
    size_t i;
    for (i = from; i < sizeof narrow; ++i) {
        if (narrow[i] != SENTINEL) {
            return 0;
        }
    }
    return 1;
}

/* ---- Lookups ---- */

struct lookup_row {
    const char* name;
    int32_t language_id;
    int32_t string_id;
    int fallback;
    const usl_char16* wide; /* null: not found */
    const char* utf8;
};

static const struct lookup_row lookups[] = {
    {"zh_tw exact, from a UTF-16LE table", 0x0404, 14, 1, L"垃圾郵件", "垃圾郵件"},
    {"fr_ca exact, from a UTF-8 table", 0x0c0c, 20, 0, L"Boîte de réception", "Boîte de réception"},
    {"ja_jp falls back to neutral ja", 0x0411, 20, 1, L"受信トレイ", "受信トレイ"},
    {"fr_ca empty text falls back to neutral fr", 0x0c0c, 19, 1,
     L"Service de configuration de la quarantaine des utilisateurs finaux",
     "Service de configuration de la quarantaine des utilisateurs finaux"},
    {"ru_ru falls back to neutral ru", 0x0419, 14, 1, L"Спам", "Спам"},
    {"English 0x0c09 falls back to neutral en", 0x0c09, 23, 1, L"Archive Mailbox", "Archive Mailbox"},
    {"it missing key gives the placeholder", 0x0010, 23, 1, L"Cannot load string:IDS_SD_ARCHIVE_MAILBOX",
     "Cannot load string:IDS_SD_ARCHIVE_MAILBOX"},
    {"fr_ca empty text without fallback", 0x0c0c, 19, 0, 0, 0},
    {"string 24 does not exist", 0x0009, 24, 1, 0, 0},
};

/* Each row in UTF-16: the size query, the one-short buffer (untouched), the
   exact fit; or, for a missing text, the empty answer. */
static void lookup16(const usl_loader* loader, const struct lookup_row* row) {
    size_t n = row->wide ? length16(row->wide) : 0;
    size_t length = 99;
    usl_status status;

    put("--   UTF-16: ");
    put(row->name);
    end_line();
    status = usl_loader_string16(loader, row->language_id, row->string_id, row->fallback, 0, 0, &length);
    check_status(status, row->wide ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND, "size query status");
    check(length == n, "size query length");
    if (row->wide == 0) {
        fill_sentinels();
        length = 99;
        status = usl_loader_string16(loader, row->language_id, row->string_id, row->fallback, wide, 8, &length);
        check_status(status, USL_NOT_FOUND, "lookup status");
        check(length == 0 && wide[0] == 0 && untouched16(1), "empty text written");
        return;
    }
    fill_sentinels();
    status = usl_loader_string16(loader, row->language_id, row->string_id, row->fallback, wide, n, &length);
    check_status(status, USL_BUFFER_TOO_SMALL, "one-short buffer status");
    check(length == n && untouched16(0), "one-short buffer untouched");
    fill_sentinels();
    length = 99;
    status = usl_loader_string16(loader, row->language_id, row->string_id, row->fallback, wide, n + 1, &length);
    check_status(status, USL_OK, "exact fit status");
    check(length == n && equal16(wide, row->wide, n) && untouched16(n + 1), "exact fit text");
}

/* The same in UTF-8, and the text printed for the script to compare. */
static void lookup8(const usl_loader* loader, const struct lookup_row* row) {
    size_t n = row->utf8 ? length8(row->utf8) : 0;
    size_t length = 99;
    usl_status status;

    put("--   UTF-8: ");
    put(row->name);
    end_line();
    status = usl_loader_string(loader, row->language_id, row->string_id, row->fallback, 0, 0, &length);
    check_status(status, row->utf8 ? USL_BUFFER_TOO_SMALL : USL_NOT_FOUND, "size query status");
    check(length == n, "size query length");
    if (row->utf8 == 0) {
        return;
    }
    fill_sentinels();
    status = usl_loader_string(loader, row->language_id, row->string_id, row->fallback, narrow, n, &length);
    check_status(status, USL_BUFFER_TOO_SMALL, "one-short buffer status");
    check(length == n && untouched8(0), "one-short buffer untouched");
    fill_sentinels();
    status = usl_loader_string(loader, row->language_id, row->string_id, row->fallback, narrow, sizeof narrow, &length);
    check_status(status, USL_OK, "lookup status");
    check(length == n && equal8(narrow, row->utf8, n), "lookup text");
    put("text ");
    put_number((uint32_t)row->language_id, 16);
    put(" ");
    put_number((uint32_t)row->string_id, 10);
    put(": ");
    put(narrow);
    end_line();
}

/* A text above U+FFFF, from the one-table folder astral\ the script writes:
   a surrogate pair in UTF-16 (the one-short buffer would split it), four
   bytes in UTF-8. */
static void astral(void) {
    static const struct lookup_row row = {
        "astral text, a surrogate pair", 0x0009, 14, 1, L"Spam \U0001F4E7", "Spam \U0001F4E7"};
    usl_loader* loader = 0;

    check(usl_loader_new(&loader) == USL_OK, "new loader");
    check_status(usl_loader_load16(loader, L"astral"), USL_OK, "UTF-16 load of astral");
    lookup16(loader, &row);
    lookup8(loader, &row);
    usl_loader_free(loader);
}

/* ---- Languages, queries and conversions ---- */

static void languages(const usl_loader* loader) {
    static const int32_t expected[] = {0x0007, 0x0009, 0x000a, 0x000c, 0x0010, 0x0011, 0x0012,
                                       0x0013, 0x0019, 0x001d, 0x0404, 0x0416, 0x0804, 0x0c0c};
    const size_t n = sizeof expected / sizeof expected[0];
    int32_t ids[32];
    size_t count = 0, i;
    int same = 1;

    put("--   languages");
    end_line();
    check_status(usl_loader_languages(loader, 0, 0, &count), USL_BUFFER_TOO_SMALL, "count query status");
    check(count == n, "count query: 14 languages");
    for (i = 0; i < 32; ++i) {
        ids[i] = -1;
    }
    count = 0;
    check_status(usl_loader_languages(loader, ids, n - 1, &count), USL_BUFFER_TOO_SMALL, "one-short list status");
    check(count == n && ids[0] == -1, "one-short list untouched");
    check_status(usl_loader_languages(loader, ids, 32, &count), USL_OK, "list status");
    for (i = 0; i < n; ++i) {
        same = same && ids[i] == expected[i];
    }
    check(count == n && same && ids[n] == -1, "list: ascending, all 14");
    put("languages");
    for (i = 0; i < count && i < 32; ++i) {
        put(" ");
        put_number((uint32_t)ids[i], 16);
    }
    end_line();
}

static void queries(usl_loader* loader) {
    int32_t id = -1;
    uint32_t converted = 1;
    size_t length = 0;

    put("--   queries and conversions");
    end_line();
    check(usl_loader_match_language(loader, 0x0c07, &id) == USL_OK && id == 0x0007, "de_at matches neutral de");
    check(usl_loader_match_language(loader, 0x0421, &id) == USL_NOT_FOUND && id == 0, "id matches nothing");

    check(usl_loader_set_default_language(loader, 0x0411) == USL_OK, "set default language");
    check(usl_loader_default_language(loader, &id) == USL_OK && id == 0x0411, "default language read back");
    check(usl_loader_language_of_text16(loader, 21, L"受信箱", 1, &id) == USL_OK && id == 0x0011,
          "UTF-16 list item belongs to ja");
    check(usl_loader_language_of_text(loader, 20, "Posteingang", 0, &id) == USL_OK && id == 0x0007,
          "UTF-8 whole text belongs to de");
    check(usl_loader_language_of_text16(loader, 20, L"nowhere", 0, &id) == USL_OK && id == 0x0411,
          "unknown text answers the default language");

    check(usl_locale_to_language16(L"pt_br", &converted) == USL_OK && converted == 0x0416, "pt_br is 0x0416 (UTF-16)");
    check(usl_locale_to_language("zh_tw", &converted) == USL_OK && converted == 0x0404, "zh_tw is 0x0404 (UTF-8)");
    check(usl_locale_to_language16(L"xx_yy", &converted) == USL_NOT_FOUND && converted == 0, "xx_yy is no locale");
    fill_sentinels();
    check(usl_language_to_locale16(0x0804, wide, 6, &length) == USL_OK && length == 5 && equal16(wide, L"zh_cn", 5),
          "0x0804 is zh_cn (UTF-16, exact fit)");
    fill_sentinels();
    check(usl_language_to_locale(0x0c0c, narrow, 5, &length) == USL_BUFFER_TOO_SMALL && length == 5 && untouched8(0),
          "0x0c0c in a one-short UTF-8 buffer");
    check(usl_language_to_locale(0x0c0c, narrow, 6, &length) == USL_OK && equal8(narrow, "fr_ca", 5),
          "0x0c0c is fr_ca (UTF-8)");
}

/* Wrong arguments answer USL_INVALID_ARGUMENT and write nothing. */
static void wrong_arguments(const usl_loader* loader) {
    static const usl_char16 lone_surrogate[] = {0x0066, 0xd800, 0x0072, 0};
    size_t length = 99;
    uint32_t converted = 99;

    put("--   wrong arguments");
    end_line();
    check(usl_loader_string16(0, 9, 14, 1, wide, 8, &length) == USL_INVALID_ARGUMENT && length == 99, "null loader");
    check(usl_loader_string16(loader, 9, 14, 1, 0, 8, &length) == USL_INVALID_ARGUMENT && length == 99,
          "null buffer with a capacity");
    check(usl_loader_string(loader, 9, 14, 1, narrow, 8, 0) == USL_INVALID_ARGUMENT, "null length");
    check(usl_locale_to_language16(lone_surrogate, &converted) == USL_INVALID_ARGUMENT && converted == 99,
          "unpaired surrogate");
    check(usl_locale_to_language("fr\xc3", &converted) == USL_INVALID_ARGUMENT && converted == 99, "truncated UTF-8");
    check(length8(usl_status_text(USL_BUFFER_TOO_SMALL)) > 0, "status text");
    check(equal8(usl_status_text((usl_status)99), "unknown status", 14), "unknown status text");
}

/* ---- The trace sink: a callback from the DLL into this program ---- */

struct trace_seen {
    int records;
    int entries; /* level 0x110: a loading member begins */
    int malformed;
};

static void trace_sink(void* context, uint32_t level, const char* source_file, int32_t line_number,
                       const char* message) {
    struct trace_seen* seen = (struct trace_seen*)context;
    ++seen->records;
    if (level == 0x110) {
        ++seen->entries;
    }
    if (source_file == 0 || message == 0 || line_number <= 0) {
        ++seen->malformed;
    }
}

static void trace(void) {
    struct trace_seen seen = {0, 0, 0};
    usl_loader* loader = 0;
    int records;

    put("--   trace sink");
    end_line();
    check(usl_loader_new(&loader) == USL_OK, "new loader");
    check(usl_set_trace_sink(trace_sink, &seen) == USL_OK, "sink installed");
    check(usl_loader_load(loader, "res") == USL_OK, "UTF-8 load");
    check(seen.records > 0 && seen.entries > 0 && seen.malformed == 0, "records reach the sink");
    records = seen.records;
    check(usl_set_trace_sink(0, 0) == USL_OK, "sink removed");
    check(usl_loader_load(loader, "res") == USL_OK && seen.records == records, "no records after removal");
    usl_loader_free(loader);
}

void caller_main(void) {
    usl_loader* loader = 0;
    usl_loader* copy = 0;
    size_t i;

    check(equal8(usl_version(), "1.1.0", 5), "version 1.1.0");
    check(usl_loader_new(&loader) == USL_OK && loader != 0, "new loader");
    check_status(usl_loader_load16(loader, L"res"), USL_OK, "UTF-16 load of res");
    /* The lookups run on a copy, after the original is gone. */
    check(usl_loader_clone(loader, &copy) == USL_OK && copy != 0, "clone");
    usl_loader_free(loader);
    loader = 0;
    if (copy != 0) {
        for (i = 0; i < sizeof lookups / sizeof lookups[0]; ++i) {
            lookup16(copy, &lookups[i]);
            lookup8(copy, &lookups[i]);
        }
        languages(copy);
        queries(copy);
        wrong_arguments(copy);
    }
    usl_loader_free(copy);
    usl_loader_free(0);
    astral();
    trace();

    put("msvc_caller: ");
    put_number((uint32_t)checks, 10);
    put(" checks, ");
    put_number((uint32_t)failures, 10);
    put(" failed");
    end_line();
    ExitProcess(failures == 0 ? 0 : 1);
}
