// Uses the installed library the way a suite component does: load a directory
// of string tables while listening to the trace records, look strings up with
// fallback, convert locales. Prints "consumer: ok" when every answer is right.
#include <cstdio>
#include <string>

#include "Util_StringLoader.h"
#include "tracekit.h"

int main(int argc, char** argv) {
    const std::string narrow = argc == 2 ? argv[1] : ""; // an ASCII path: widening byte by byte is enough
    int records = 0, count = 0;
    tracekit::SetTraceSink([](const tracekit::TraceRecord&, void* sum) { ++*static_cast<int*>(sum); }, &records);
    CUtilStringLoader loader;
    const bool loaded = loader.LoadAllLanguageStringTable(std::wstring(narrow.begin(), narrow.end()).c_str());
    tracekit::SetTraceSink(nullptr, nullptr);
    const CUtilLocaleLCIDConverter converter;
    const bool languages = loader.GetLanguages(nullptr, &count) == 0 && count >= 2;
    const bool locales = converter.LocaleToLangID(L"zh_tw") == 0x0404 &&
                         converter.LangIDToLocale(0x0c0c) == basekit::WideString(L"fr_ca");
    const bool texts = loader.LoadStringW(0x0404, 14, true) == basekit::WideString(L"\u5783\u573e\u90f5\u4ef6") &&
                       loader.LoadStringW(0x0409, 14, true) == basekit::WideString(L"Spam Mail"); // English fallback
    const bool ok = argc == 2 && loaded && records > 0 && languages && locales && texts;
    std::fprintf(ok ? stdout : stderr, "consumer: %s (load %d, %d trace records, %d languages, locales %d, texts %d)\n",
                 ok ? "ok" : "FAILED", loaded, records, count, locales, texts);
    return ok ? 0 : 1;
}
