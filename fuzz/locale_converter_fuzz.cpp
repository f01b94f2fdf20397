// Fuzzes both conversions of CUtilLocaleLCIDConverter. The first four bytes are
// a language ID, the rest a locale name in UTF-16 units (a high surrogate joins
// the next unit into one character above U+FFFF, as wchar_t holds it on Linux).
// LocaleToLangID must answer a 16-bit ID and never throw; a nonzero answer must
// name a language whose code starts with the name's first two letters; and
// every name that LangIDToLocale produces must convert back to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "Util_StringLoader.h"
#include "tracekit.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "locale_converter_fuzz: %s\n", what);
        std::abort();
    }
}

// Failure records are formatted and delivered, as in a service that traces.
void Sink(const tracekit::TraceRecord& record, void*) {
    Check(record.message != nullptr && record.message[0] != L'\0', "an empty trace record");
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tracekit::SetTraceSink(Sink, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint32_t id = 0;
    std::size_t i = 0;
    for (; i < 4 && i < size; ++i) {
        id = (id << 8) | data[i];
    }
    std::wstring name;
    for (; i + 1 < size; i += 2) {
        auto unit = static_cast<char32_t>(data[i] | (data[i + 1] << 8));
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + ((data[i + 2] | (data[i + 3] << 8)) & 0x3FF);
            i += 2;
        }
        if (unit == 0) {
            break;
        }
        name += static_cast<wchar_t>(unit);
    }

    const CUtilLocaleLCIDConverter converter;
    const std::uint32_t fromName = converter.LocaleToLangID(name.c_str());
    Check(fromName <= 0xFFFF, "a language ID above 16 bits");
    if (fromName != 0) {
        Check((fromName & 0x3FF) != 0, "a language ID without a primary language");
        const std::wstring code = converter.LangIDToLocale(fromName).str();
        Check(code.size() >= 2 && code[0] == AsciiLower(name[0]) && code[1] == AsciiLower(name[1]),
              "the ID names another language");
    }

    const std::wstring locale = converter.LangIDToLocale(id).str();
    if (!locale.empty()) {
        const std::uint32_t back = converter.LocaleToLangID(locale.c_str());
        Check(converter.LangIDToLocale(back).str() == locale, "a locale name does not convert back to itself");
        Check((back & 0x3FF) == (id & 0x3FF), "a locale name converts to another primary language");
    }
    return 0;
}
