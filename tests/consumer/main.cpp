// Uses the installed library the way a suite component does: load a
// directory of string tables, look strings up with fallback, convert a locale,
// and listen to the trace records. Prints "consumer: ok" when every answer is
// the expected one.
#include <cstdio>
#include <string>

#include "Util_StringLoader.h"
#include "basekit.h"
#include "tracekit.h"

namespace {

int failures = 0;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "consumer: FAILED: %s\n", what);
        ++failures;
    }
}

void CountRecord(const tracekit::TraceRecord& /*record*/, void* context) {
    ++*static_cast<int*>(context);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer STRING-TABLE-DIRECTORY\n");
        return 2;
    }
    // The test passes an ASCII path, so widening byte by byte is enough here.
    const std::string narrow = argv[1];
    const std::wstring directory(narrow.begin(), narrow.end());

    int records = 0;
    tracekit::SetTraceSink(&CountRecord, &records);
    CUtilStringLoader loader;
    const bool loaded = loader.LoadAllLanguageStringTable(directory.c_str());
    tracekit::SetTraceSink(nullptr, nullptr);
    Expect(loaded, "LoadAllLanguageStringTable(directory) returns true");
    Expect(records > 0, "the load writes trace records to the installed sink");

    int count = 0;
    Expect(loader.GetLanguages(nullptr, &count) == 0 && count >= 2, "at least two languages are loaded");

    const CUtilLocaleLCIDConverter converter;
    const std::uint32_t taiwan = converter.LocaleToLangID(L"zh_tw");
    Expect(taiwan == 0x0404, "zh_tw converts to 0x0404");
    Expect(converter.LangIDToLocale(0x0c0c) == basekit::WideString(L"fr_ca"), "0x0c0c converts to fr_ca");

    const basekit::WideString spam = loader.LoadStringW(static_cast<int>(taiwan), 14, true);
    Expect(spam == basekit::WideString(L"\u5783\u573e\u90f5\u4ef6"), "string 14 of zh_tw is its spam folder name");
    // en_us has no table of its own: the neutral English table answers.
    const basekit::WideString english = loader.LoadStringW(0x0409, 14, true);
    Expect(english == basekit::WideString(L"Spam Mail"), "string 14 of en_us falls back to English");

    if (failures != 0) {
        return 1;
    }
    std::printf("consumer: ok (%d languages)\n", count);
    return 0;
}
