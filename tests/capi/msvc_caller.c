// A caller of the DLL's C functions built as an MSVC project builds: compiled
// for the x86_64-pc-windows-msvc target, linked by lld-link against the zip's
// util_stringloader.lib, and with no C runtime at all (its own entry point;
// its only other imports are three kernel32 functions, declared below since
// there are no Windows headers). tools/ci/windows-zip-test.sh builds it and
// runs it from the unpacked zip's folder under Wine, with the sample tables in
// res\ and one table with a text above U+FFFF in astral\.
//
// It proves the ABI, not the behaviour (the C interface tests cover that,
// under Wine too): wchar_t strings in, the caller's buffers filled in both
// encodings, status codes, a size query, int32_t and uint32_t answers, an
// int32_t array, a string the DLL returns, and a callback from the DLL. It
// prints one line per failed check, the version, the UTF-8 texts and the
// languages for the script to compare, and a summary, and exits with 0 when
// every check passed.
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

// No C runtime: the string helper is this.
static int same16(const usl_char16* a, const usl_char16* b) {
    while (*a != 0 && *a == *b) {
        ++a, ++b;
    }
    return *a == *b;
}

// ---- Texts in both encodings into the caller's buffers ----

// A text into a wchar_t buffer, compared here, and into a char buffer,
// printed as "text <language> <id>: <UTF-8 text>" for the script to compare.
static void text(const usl_loader* loader, int32_t language, int32_t id, const usl_char16* wide) {
    usl_char16 buffer16[64];
    char buffer8[128];
    size_t length = 0;
    check(usl_loader_string16(loader, language, id, 1, buffer16, 64, &length) == USL_OK && length < 64 &&
              buffer16[length] == 0 && same16(buffer16, wide),
          "UTF-16 text");
    put("text ");
    put_number((uint32_t)language, 16);
    put(" ");
    put_number((uint32_t)id, 10);
    put(": ");
    put(usl_loader_string(loader, language, id, 1, buffer8, sizeof buffer8, &length) == USL_OK ? buffer8 : "(none)");
    end_line();
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
    seen->malformed += source_file == 0 || message == 0 || message[0] == '\0' || line_number <= 0;
}

void caller_main(void) {
    struct trace_seen seen = {0, 0, 0};
    usl_loader *loader = 0, *copy = 0, *astral = 0;
    int32_t ids[16], id = -1, i;
    uint32_t converted = 0;
    usl_char16 locale[8];
    size_t count = 0;

    put("version ");
    put(usl_version());
    end_line();
    check(usl_set_trace_sink(trace_sink, &seen) == USL_OK, "sink installed");
    check(usl_loader_new(&loader) == USL_OK && usl_loader_load16(loader, L"res") == USL_OK, "UTF-16 load of res");
    check(seen.records > 0 && seen.entries > 0 && seen.malformed == 0, "records reach the sink");
    check(usl_set_trace_sink(0, 0) == USL_OK, "sink removed");
    // The rest runs on a copy, after the original is gone.
    check(usl_loader_clone(loader, &copy) == USL_OK && copy != 0, "clone");
    usl_loader_free(loader);

    text(copy, 0x0404, 14, L"垃圾郵件");
    text(copy, 0x0c0c, 20, L"Boîte de réception");
    text(copy, 0x0411, 20, L"受信トレイ");
    text(copy, 0x0419, 14, L"Спам");
    check(usl_loader_new(&astral) == USL_OK && usl_loader_load(astral, "astral") == USL_OK, "UTF-8 load of astral");
    text(astral, 9, 14, L"Spam \U0001F4E7"); // a surrogate pair, four UTF-8 bytes

    check(usl_loader_languages(copy, 0, 0, &count) == USL_BUFFER_TOO_SMALL && count == 14, "language count query");
    check(usl_loader_languages(copy, ids, 16, &count) == USL_OK && count == 14, "language list");
    put("languages");
    for (i = 0; i < 14; ++i) {
        put(" ");
        put_number((uint32_t)ids[i], 16);
    }
    end_line();

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
