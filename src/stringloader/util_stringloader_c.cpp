// The C interface of util_stringloader_c.h. Each function converts its
// arguments, calls the CUtilStringLoader or CUtilLocaleLCIDConverter member it
// wraps and converts the answer; behaviour stays in the classes. Divisions:
// the boundary helpers (argument checks, text in and out, the exception
// guard); version and status; the loader's lifetime and loading; lookups and
// queries; locale conversion; the trace sink.
#include "util_stringloader_c.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Util_StringLoader.h"
#include "platform/common/text_codec.h"
#include "tracekit.h"

namespace {
basekit::WideString& LookupScratch();
} // namespace

// The object behind the opaque handle: the class itself, plus the one step the
// C lookups need that the class does not offer in public.
struct usl_loader : CUtilStringLoader {
    // The text LoadStringW(languageID, stringID, fallback) answers, without
    // the fresh copy LoadStringW returns (an empty text: not found). The exact
    // table is read in place, with the two finds LoadAString makes; the
    // fallback steps are the class's own, copying into the calling thread's
    // scratch string, whose capacity stays. Either way nothing is allocated
    // once the thread has held its longest text.
    const basekit::WideString* FindText(int languageID, int stringID, bool fallback) const {
        const auto table = m_stringTables.find(languageID);
        if (table != m_stringTables.end()) {
            const auto entry = table->second.find(stringID);
            if (entry != table->second.end()) {
                return &entry->second;
            }
        }
        if (!fallback) {
            return nullptr;
        }
        basekit::WideString& scratch = LookupScratch();
        scratch = nullptr; // clear() through the null-pointer assignment, keeping the capacity
        // A loaded neutral table of the primary language answers, with its
        // text or with nothing; English answers only when none is loaded.
        if (!LoadStringUsingPrimaryLangID(languageID, stringID, scratch)) {
            LoadStringUsingPrimaryLangID(LANG_ID_EN, stringID, scratch);
        }
        return &scratch;
    }
};

namespace {

using basekit::detail::IsHighSurrogate;
using basekit::detail::IsLowSurrogate;

// ---------------------------------------------------------------------------
// Boundary helpers
// ---------------------------------------------------------------------------

// Runs `body`, turning any exception (in practice std::bad_alloc) into
// USL_OUT_OF_MEMORY: nothing thrown inside may reach a C caller.
template <typename Body> usl_status Guarded(Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return USL_OUT_OF_MEMORY;
    }
}

// The arguments of a text answer: a place for the length, and a buffer unless
// the capacity is 0 (a size query).
template <typename Unit> bool TextOutValid(const Unit* buffer, std::size_t capacity, const std::size_t* length) {
    return length != nullptr && (buffer != nullptr || capacity == 0);
}

// Encoders for text answers: each calls put(unit) for every code unit of the
// stored text in its encoding.
struct Utf8Encoder {
    // Where wchar_t holds code points, one takes up to four bytes; where it
    // holds UTF-16 units, one unit up to three (a pair makes four).
    static constexpr std::size_t kMaxUnitsPerChar = sizeof(wchar_t) == 2 ? 3 : 4;
    template <typename Put> void operator()(std::wstring_view text, Put put) const {
        // ForEachUtf8Byte writes an unpaired surrogate as U+FFFD.
        for (std::size_t i = 0; i < text.size();) {
            basekit::detail::ForEachUtf8Byte(basekit::detail::NextCodePoint(text, i), put);
        }
    }
};
struct Utf16Encoder {
    static constexpr std::size_t kMaxUnitsPerChar = sizeof(wchar_t) == 2 ? 1 : 2;
    template <typename Put> void operator()(std::wstring_view text, Put put) const {
        for (const wchar_t c : text) {
            const auto cp = static_cast<char32_t>(c);
            if (cp <= 0xFFFF) {
                put(static_cast<usl_char16>(cp)); // an unpaired surrogate stays as it is
            } else if (cp <= 0x10FFFF) {          // only where wchar_t holds code points
                basekit::detail::ForEachUtf16Unit(cp, put);
            } else {
                put(static_cast<usl_char16>(0xFFFD));
            }
        }
    }
};

// Writes a text answer by the buffer rules: the units are counted first and
// written, with a NUL, only when they fit below `capacity`. An empty text is
// USL_NOT_FOUND and is written as an empty string when there is room.
// REQUIRES: TextOutValid(buffer, capacity, length).
template <typename Unit, typename Encoder>
usl_status PutText(std::wstring_view text, Encoder encode, Unit* buffer, std::size_t capacity, std::size_t* length) {
    // A buffer with room for the longest encoding the text could have is
    // written in one pass, the usual case since callers pass generous
    // buffers. Skipping the counting pass saved 2 to 7 ns of lookups taking
    // 14 to 55 ns (bench/c_interface_bench.cpp).
    if (!text.empty() && capacity != 0 && text.size() <= (capacity - 1) / Encoder::kMaxUnitsPerChar) {
        Unit* out = buffer;
        encode(text, [&out](Unit unit) { *out++ = unit; });
        *out = 0;
        *length = static_cast<std::size_t>(out - buffer);
        return USL_OK;
    }
    std::size_t units = 0;
    encode(text, [&units](Unit) { ++units; });
    *length = units;
    if (units == 0) {
        if (capacity != 0) {
            buffer[0] = 0;
        }
        return USL_NOT_FOUND;
    }
    if (units >= capacity) {
        return USL_BUFFER_TOO_SMALL;
    }
    Unit* out = buffer;
    encode(text, [&out](Unit unit) { *out++ = unit; });
    *out = 0;
    return USL_OK;
}

// A NUL-terminated UTF-8 text as wide text; false when it is not valid UTF-8.
bool Widen(const char* text, std::wstring& wide) {
    const std::string_view bytes(text);
    if (!basekit::detail::IsValidUtf8(bytes)) {
        return false;
    }
    wide = basekit::detail::DecodeUtf8(bytes);
    return true;
}

// A NUL-terminated UTF-16 text as wide text: surrogate pairs are joined where
// wchar_t holds code points and copied where it holds UTF-16 units. False on
// an unpaired surrogate.
bool Widen(const usl_char16* text, std::wstring& wide) {
    wide.clear();
    for (const usl_char16* at = text; *at != 0; ++at) {
        const auto unit = static_cast<char32_t>(*at);
        if (IsLowSurrogate(unit)) {
            return false;
        }
        if (!IsHighSurrogate(unit)) {
            wide += static_cast<wchar_t>(unit);
            continue;
        }
        const auto low = static_cast<char32_t>(at[1]); // the NUL at worst
        if (!IsLowSurrogate(low)) {
            return false;
        }
        ++at;
        if constexpr (sizeof(wchar_t) == 2) {
            wide += static_cast<wchar_t>(unit);
            wide += static_cast<wchar_t>(low);
        } else {
            wide += static_cast<wchar_t>(basekit::detail::JoinSurrogates(unit, low));
        }
    }
    return true;
}

// In a shared object the compiler reaches a thread-local variable through a
// call to __tls_get_addr, which took 8 of the 33 ns of a lookup answered by a
// neutral table (bench/c_interface_bench.cpp). The initial-exec model reads it
// at a fixed offset from the thread pointer instead. The variable then takes
// a few dozen bytes of the static TLS space that glibc keeps for libraries
// loaded later with dlopen (as the Python and C# tests load this one).
#if defined(__ELF__) && defined(__GNUC__)
#define USL_FAST_THREAD_LOCAL __attribute__((tls_model("initial-exec"))) thread_local
#else
#define USL_FAST_THREAD_LOCAL thread_local
#endif

// One reused wide string per thread for the texts the fallback steps copy.
basekit::WideString& LookupScratch() {
    USL_FAST_THREAD_LOCAL basekit::WideString scratch;
    return scratch;
}

template <typename Unit, typename Encoder>
usl_status LookUp(const usl_loader* loader, int32_t languageID, int32_t stringID, int fallback, Encoder encode,
                  Unit* buffer, std::size_t capacity, std::size_t* length) noexcept {
    if (loader == nullptr || !TextOutValid(buffer, capacity, length)) {
        return USL_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        const basekit::WideString* text = loader->FindText(languageID, stringID, fallback != 0);
        return PutText(text != nullptr ? std::wstring_view(text->str()) : std::wstring_view(), encode, buffer, capacity,
                       length);
    });
}

template <typename Unit, typename Encoder>
usl_status LanguageToLocale(uint32_t languageID, Encoder encode, Unit* buffer, std::size_t capacity,
                            std::size_t* length) noexcept {
    if (!TextOutValid(buffer, capacity, length)) {
        return USL_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        const basekit::WideString locale = CUtilLocaleLCIDConverter().LangIDToLocale(languageID);
        return PutText(std::wstring_view(locale.str()), encode, buffer, capacity, length);
    });
}

usl_status LoadWide(usl_loader* loader, const wchar_t* directory) noexcept {
    return Guarded([&] { return loader->LoadAllLanguageStringTable(directory) ? USL_OK : USL_NO_DIRECTORY; });
}

// Runs answer(wide) on `text` as wide text, under the exception guard (the
// members may throw: a trace record allocates). USL_INVALID_ARGUMENT, with
// nothing answered, when the text is not valid UTF-8 or UTF-16.
template <typename Char, typename Answer> usl_status WithWideText(const Char* text, Answer answer) noexcept {
    return Guarded([&] {
        std::wstring wide;
        return Widen(text, wide) ? answer(wide) : USL_INVALID_ARGUMENT;
    });
}

// The text-in calls, one template for both encodings.
template <typename Char> usl_status Load(usl_loader* loader, const Char* directory) noexcept {
    if (loader == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    if (directory == nullptr) {
        return LoadWide(loader, nullptr);
    }
    return WithWideText(directory, [&](const std::wstring& wide) { return LoadWide(loader, wide.c_str()); });
}

template <typename Char>
usl_status LanguageOfText(const usl_loader* loader, int32_t stringID, const Char* text, int asList,
                          int32_t* languageID) noexcept {
    if (loader == nullptr || text == nullptr || languageID == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    return WithWideText(text, [&](const std::wstring& wide) {
        *languageID = asList != 0 ? loader->GetStringLangIDEx(stringID, wide.c_str())
                                  : loader->GetStringLangID(stringID, wide.c_str());
        return USL_OK;
    });
}

template <typename Char> usl_status LocaleToLanguage(const Char* locale, uint32_t* languageID) noexcept {
    if (locale == nullptr || languageID == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    return WithWideText(locale, [&](const std::wstring& wide) {
        *languageID = CUtilLocaleLCIDConverter().LocaleToLangID(wide.c_str());
        return *languageID != 0 ? USL_OK : USL_NOT_FOUND;
    });
}

// ---------------------------------------------------------------------------
// Trace records for a C sink
// ---------------------------------------------------------------------------

struct CTraceSink {
    usl_trace_sink sink;
    void* context;
};

// Serialises usl_set_trace_sink, which frees the sink it replaces.
std::mutex g_sinkMutex;
CTraceSink* g_sink = nullptr;

void DeliverToCSink(const tracekit::TraceRecord& record, void* context) {
    const auto* target = static_cast<const CTraceSink*>(context);
    try {
        const std::string source = basekit::detail::EncodeUtf8(record.sourceFile != nullptr ? record.sourceFile : L"");
        const std::string message = basekit::detail::EncodeUtf8(record.message != nullptr ? record.message : L"");
        target->sink(target->context, record.level, source.c_str(), record.line, message.c_str());
    } catch (...) {
        // No memory to convert the record: it is dropped rather than thrown
        // into the loader step that wrote it.
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Version and status
// ---------------------------------------------------------------------------

#define USL_TEXT_OF(x) #x
#define USL_NUMBER_TEXT(x) USL_TEXT_OF(x)

const char* usl_version(void) {
    return USL_NUMBER_TEXT(USL_VERSION_MAJOR) "." USL_NUMBER_TEXT(USL_VERSION_MINOR) "." USL_NUMBER_TEXT(
        USL_VERSION_PATCH);
}

const char* usl_status_text(usl_status status) {
    // A C caller may pass any int; read it as one, since a C++ enum without a
    // fixed type holds only the values its enumerators need.
    static_assert(sizeof(usl_status) == sizeof(int), "usl_status is passed as an int");
    int value = 0;
    std::memcpy(&value, &status, sizeof value);
    switch (value) {
    case USL_OK:
        return "success";
    case USL_NOT_FOUND:
        return "no text, language or locale answers the request";
    case USL_BUFFER_TOO_SMALL:
        return "the buffer is too small for the answer";
    case USL_INVALID_ARGUMENT:
        return "an argument is null or its text is not valid UTF-8 or UTF-16";
    case USL_NO_DIRECTORY:
        return "no directory was given and the installation settings name none";
    case USL_OUT_OF_MEMORY:
        return "out of memory";
    default:
        return "unknown status";
    }
}

// ---------------------------------------------------------------------------
// Lifetime and loading
// ---------------------------------------------------------------------------

usl_status usl_loader_new(usl_loader** loader) {
    if (loader == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    *loader = nullptr;
    return Guarded([&] {
        *loader = new usl_loader();
        return USL_OK;
    });
}

usl_status usl_loader_clone(const usl_loader* source, usl_loader** copy) {
    if (source == nullptr || copy == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    *copy = nullptr;
    return Guarded([&] {
        *copy = new usl_loader(*source);
        return USL_OK;
    });
}

void usl_loader_free(usl_loader* loader) {
    delete loader;
}

usl_status usl_loader_load(usl_loader* loader, const char* directory) {
    return Load(loader, directory);
}

usl_status usl_loader_load16(usl_loader* loader, const usl_char16* directory) {
    return Load(loader, directory);
}

usl_status usl_loader_default_language(const usl_loader* loader, int32_t* language_id) {
    if (loader == nullptr || language_id == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    *language_id = loader->GetDefaultLangID();
    return USL_OK;
}

usl_status usl_loader_set_default_language(usl_loader* loader, int32_t language_id) {
    if (loader == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    loader->OverrideDefaultLangID(language_id);
    return USL_OK;
}

// ---------------------------------------------------------------------------
// Lookups and queries
// ---------------------------------------------------------------------------

usl_status usl_loader_string(const usl_loader* loader, int32_t language_id, int32_t string_id, int fallback,
                             char* buffer, size_t capacity, size_t* length) {
    return LookUp(loader, language_id, string_id, fallback, Utf8Encoder(), buffer, capacity, length);
}

usl_status usl_loader_string16(const usl_loader* loader, int32_t language_id, int32_t string_id, int fallback,
                               usl_char16* buffer, size_t capacity, size_t* length) {
    return LookUp(loader, language_id, string_id, fallback, Utf16Encoder(), buffer, capacity, length);
}

usl_status usl_loader_languages(const usl_loader* loader, int32_t* language_ids, size_t capacity, size_t* count) {
    if (loader == nullptr || count == nullptr || (language_ids == nullptr && capacity != 0)) {
        return USL_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        int languageCount = 0;
        loader->GetLanguages(nullptr, &languageCount);
        *count = static_cast<std::size_t>(languageCount);
        if (capacity < *count) {
            return USL_BUFFER_TOO_SMALL;
        }
        std::vector<int> languages(*count);
        loader->GetLanguages(&languages, &languageCount);
        std::copy(languages.begin(), languages.end(), language_ids); // ascending: the store is ordered
        return USL_OK;
    });
}

usl_status usl_loader_match_language(const usl_loader* loader, int32_t language_id, int32_t* match) {
    if (loader == nullptr || match == nullptr) {
        return USL_INVALID_ARGUMENT;
    }
    *match = loader->MatchMostAppropriateLangID(language_id);
    return *match != 0 ? USL_OK : USL_NOT_FOUND;
}

usl_status usl_loader_language_of_text(const usl_loader* loader, int32_t string_id, const char* text, int as_list,
                                       int32_t* language_id) {
    return LanguageOfText(loader, string_id, text, as_list, language_id);
}

usl_status usl_loader_language_of_text16(const usl_loader* loader, int32_t string_id, const usl_char16* text,
                                         int as_list, int32_t* language_id) {
    return LanguageOfText(loader, string_id, text, as_list, language_id);
}

// ---------------------------------------------------------------------------
// Locale conversion
// ---------------------------------------------------------------------------

usl_status usl_locale_to_language(const char* locale, uint32_t* language_id) {
    return LocaleToLanguage(locale, language_id);
}

usl_status usl_locale_to_language16(const usl_char16* locale, uint32_t* language_id) {
    return LocaleToLanguage(locale, language_id);
}

usl_status usl_language_to_locale(uint32_t language_id, char* buffer, size_t capacity, size_t* length) {
    return LanguageToLocale(language_id, Utf8Encoder(), buffer, capacity, length);
}

usl_status usl_language_to_locale16(uint32_t language_id, usl_char16* buffer, size_t capacity, size_t* length) {
    return LanguageToLocale(language_id, Utf16Encoder(), buffer, capacity, length);
}

// ---------------------------------------------------------------------------
// Trace sink
// ---------------------------------------------------------------------------

usl_status usl_set_trace_sink(usl_trace_sink sink, void* context) {
    return Guarded([&] {
        const std::lock_guard<std::mutex> lock(g_sinkMutex);
        CTraceSink* installed = sink != nullptr ? new CTraceSink{sink, context} : nullptr;
        tracekit::SetTraceSink(installed != nullptr ? DeliverToCSink : nullptr, installed);
        // SetTraceSink switches under the trace lock, so no record is still
        // being delivered to the sink it replaced.
        delete g_sink;
        g_sink = installed;
        return USL_OK;
    });
}
