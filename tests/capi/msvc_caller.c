// A caller of the DLL's C functions built as an MSVC project builds: compiled
// for the x86_64-pc-windows-msvc target, linked by lld-link against the zip's
// util_stringloader.lib, and with no C runtime at all (its own entry point;
// its only other imports are three kernel32 functions, declared below since
// there are no Windows headers). tools/ci/windows-zip-test.sh builds it and
// runs it from the unpacked zip's folder under Wine, with the sample tables in
// res\ and one table with a text above U+FFFF in astral\.
//
// It proves the ABI, not the behaviour (c_interface_test covers that, under
// Wine too): wchar_t strings in, the caller's buffers filled in both
// encodings, status codes, size queries, int32_t and uint32_t answers, an
// int32_t array, strings the DLL returns, and a callback from the DLL. It
// prints one line per failed check, the UTF-8 texts and the languages for the
// script to compare, and a summary, and exits with 0 when every check passed.
#include "util_stringloader_c.h"

typedef void* HANDLE;
__declspec(dllimport) HANDLE GetStdHandle(unsigned long std_handle);
__declspec(dllimport) int WriteFile(HANDLE file, const void* data, unsigned long size, unsigned long* written,
                                    void* overlapped);
__declspec(dllimport) __declspec(noreturn) void ExitProcess(unsigned int status);
#define STD_OUTPUT_HANDLE ((unsigned long)-11)

// ---- Output, one line at a time, and checks ----

static char line[512];
static unsigned long used;
static int checks, failures;

static void put(const char* text) {
    while (*text != '\0' && used < sizeof line - 1) {
        line[used++] = *text++;
    }
}

static void put_number(uint32_t value, uint32_t base) {
    char digits[12], *at = digits + sizeof digits;
    *--at = '\0';
    do {
        *--at = "0123456789abcdef"[value % base];
    } while ((value /= base) != 0);
    put(base == 16 ? "0x" : "");
    put(at);
}

static void end_line(void) {
    unsigned long written = 0;
    line[used++] = '\n';
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, used, &written, 0);
    used = 0;
}

static void check(int passed, const char* what) {
    ++checks;
    if (!passed) {
        ++failures;
        put("FAIL ");
        put(what);
        end_line();
    }
}

// No C runtime: the string helpers are these.
static uint32_t length16(const usl_char16* text) {
    uint32_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}
static uint32_t length8(const char* text) {
    uint32_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}
static int same16(const usl_char16* a, const usl_char16* b) {
    while (*a != 0 && *a == *b) {
        ++a, ++b;
    }
    return *a == *b;
}
static int same8(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a, ++b;
    }
    return *a == *b;
}

// ---- Texts in both encodings into the caller's buffers ----

// A text by size query, one-short buffer (untouched) and exact fit in UTF-16,
// exact fit in UTF-8; printed as "text <language> <id>: <UTF-8 text>", then
// its failed checks.
static void text(const usl_loader* loader, int32_t language, int32_t id, const usl_char16* wide, const char* utf8) {
    const uint32_t n16 = length16(wide), n8 = length8(utf8);
    usl_char16 buffer16[64];
    char buffer8[128];
    size_t length = 0, bytes = 0;
    int query, one_short, fit16, fit8;
    buffer16[0] = 0x2a;
    query = usl_loader_string16(loader, language, id, 1, 0, 0, &length) == USL_BUFFER_TOO_SMALL && length == n16;
    one_short = usl_loader_string16(loader, language, id, 1, buffer16, n16, &length) == USL_BUFFER_TOO_SMALL &&
                buffer16[0] == 0x2a;
    fit16 = usl_loader_string16(loader, language, id, 1, buffer16, n16 + 1, &length) == USL_OK && length == n16 &&
            same16(buffer16, wide);
    fit8 = usl_loader_string(loader, language, id, 1, buffer8, n8 + 1, &bytes) == USL_OK && bytes == n8;
    put("text ");
    put_number((uint32_t)language, 16);
    put(" ");
    put_number((uint32_t)id, 10);
    put(": ");
    put(fit8 ? buffer8 : "(no text)");
    end_line();
    check(query, "UTF-16 size query");
    check(one_short, "UTF-16 one-short buffer untouched");
    check(fit16, "UTF-16 exact fit");
    check(fit8 && same8(buffer8, utf8), "UTF-8 exact fit");
}

// ---- The trace sink: a callback from the DLL into this program ----

struct trace_seen {
    int records, entries, malformed;
};

static void trace_sink(void* context, uint32_t level, const char* source_file, int32_t line_number,
                       const char* message) {
    struct trace_seen* seen = (struct trace_seen*)context;
    ++seen->records;
    seen->entries += level == 0x110; // a loading member begins
    seen->malformed += source_file == 0 || message == 0 || length8(message) == 0 || line_number <= 0;
}

void caller_main(void) {
    struct trace_seen seen = {0, 0, 0};
    usl_loader *loader = 0, *copy = 0, *astral = 0;
    int32_t ids[16], id = -1, i;
    uint32_t converted = 0;
    usl_char16 locale[8];
    size_t count = 0;

    check(same8(usl_version(), "1.1.0") && same8(usl_status_text((usl_status)99), "unknown status"), "strings out");
    check(usl_set_trace_sink(trace_sink, &seen) == USL_OK, "sink installed");
    check(usl_loader_new(&loader) == USL_OK && usl_loader_load16(loader, L"res") == USL_OK, "UTF-16 load of res");
    check(seen.records > 0 && seen.entries > 0 && seen.malformed == 0, "records reach the sink");
    check(usl_set_trace_sink(0, 0) == USL_OK, "sink removed");
    // The rest runs on a copy, after the original is gone.
    check(usl_loader_clone(loader, &copy) == USL_OK && copy != 0, "clone");
    usl_loader_free(loader);

    text(copy, 0x0404, 14, L"垃圾郵件", "垃圾郵件");
    text(copy, 0x0c0c, 20, L"Boîte de réception", "Boîte de réception");
    text(copy, 0x0411, 20, L"受信トレイ", "受信トレイ");
    text(copy, 0x0419, 14, L"Спам", "Спам");
    check(usl_loader_new(&astral) == USL_OK && usl_loader_load(astral, "astral") == USL_OK, "UTF-8 load of astral");
    text(astral, 9, 14, L"Spam \U0001F4E7", "Spam \U0001F4E7"); // a surrogate pair, four UTF-8 bytes
    check(usl_loader_string16(copy, 9, 24, 1, locale, 8, &count) == USL_NOT_FOUND && count == 0 && locale[0] == 0,
          "no text: USL_NOT_FOUND");

    for (i = 0; i < 16; ++i) {
        ids[i] = -1;
    }
    check(usl_loader_languages(copy, 0, 0, &count) == USL_BUFFER_TOO_SMALL && count == 14, "language count query");
    check(usl_loader_languages(copy, ids, 16, &count) == USL_OK && count == 14 && ids[14] == -1, "language list");
    put("languages");
    for (i = 0; i < 14; ++i) {
        put(" ");
        put_number((uint32_t)ids[i], 16);
    }
    end_line();

    check(usl_loader_match_language(copy, 0x0c07, &id) == USL_OK && id == 0x0007, "de_at matches de");
    check(usl_loader_language_of_text16(copy, 21, L"受信箱", 1, &id) == USL_OK && id == 0x0011, "UTF-16 text is ja");
    check(usl_locale_to_language16(L"pt_br", &converted) == USL_OK && converted == 0x0416, "pt_br is 0x0416");
    check(usl_language_to_locale16(0x0804, locale, 8, &count) == USL_OK && count == 5 && same16(locale, L"zh_cn"),
          "0x0804 is zh_cn");
    usl_loader_free(copy);
    usl_loader_free(astral);

    put("msvc_caller: ");
    put_number((uint32_t)checks, 10);
    put(" checks, ");
    put_number((uint32_t)failures, 10);
    put(" failed");
    end_line();
    ExitProcess(failures == 0 ? 0 : 1);
}
