// The library's own printf for wide text. Integer conversions are delegated to
// the narrow snprintf (whose integer rules are the same everywhere); string and
// character conversions, which the platforms disagree on, are done here.
#include "platform/common/wide_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace basekit::detail {

namespace {

enum class Length { None, Char, Short, Long, LongLong, Size, Max, Ptrdiff };

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    Length length = Length::None;
    wchar_t letter = 0;
};

void Pad(std::wstring& out, std::size_t count, wchar_t fill) {
    out.append(count, fill);
}

void AppendPadded(std::wstring& out, const Directive& directive, const wchar_t* text, std::size_t length) {
    const bool left = directive.flags.find('-') != std::string::npos;
    const std::size_t width = directive.width > 0 ? static_cast<std::size_t>(directive.width) : 0;
    const std::size_t padding = width > length ? width - length : 0;
    if (!left) {
        Pad(out, padding, L' ');
    }
    out.append(text, length);
    if (left) {
        Pad(out, padding, L' ');
    }
}

void AppendWideString(std::wstring& out, const Directive& directive, const wchar_t* text) {
    if (text == nullptr) {
        text = L"(null)";
    }
    std::size_t length = 0;
    while (text[length] != L'\0' &&
           (directive.precision < 0 || length < static_cast<std::size_t>(directive.precision))) {
        ++length;
    }
    AppendPadded(out, directive, text, length);
}

void AppendNarrowString(std::wstring& out, const Directive& directive, const char* text) {
    if (text == nullptr) {
        text = "(null)";
    }
    std::wstring wide;
    for (std::size_t i = 0;
         text[i] != '\0' && (directive.precision < 0 || i < static_cast<std::size_t>(directive.precision)); ++i) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    }
    AppendPadded(out, directive, wide.c_str(), wide.size());
}

// Formats one integer or pointer conversion through snprintf.
template <typename T>
void AppendNumber(std::wstring& out, const Directive& directive, T value, const char* lengthModifier) {
    std::string format = "%" + directive.flags;
    if (directive.width >= 0) {
        format += std::to_string(directive.width);
    }
    if (directive.precision >= 0) {
        format += "." + std::to_string(directive.precision);
    }
    format += lengthModifier;
    format += static_cast<char>(directive.letter);
    char buffer[128];
    const int written = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    if (written <= 0) {
        return;
    }
    const std::size_t length =
        static_cast<std::size_t>(written) < sizeof buffer ? static_cast<std::size_t>(written) : sizeof buffer - 1;
    for (std::size_t i = 0; i < length; ++i) {
        out += static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
    }
}

void AppendSigned(std::wstring& out, const Directive& directive, va_list& args) {
    switch (directive.length) {
    case Length::Long:
        AppendNumber(out, directive, va_arg(args, long), "l");
        break;
    case Length::LongLong:
        AppendNumber(out, directive, va_arg(args, long long), "ll");
        break;
    case Length::Size:
    case Length::Ptrdiff:
        AppendNumber(out, directive, static_cast<long long>(va_arg(args, std::ptrdiff_t)), "ll");
        break;
    case Length::Max:
        AppendNumber(out, directive, static_cast<long long>(va_arg(args, std::intmax_t)), "ll");
        break;
    case Length::Short:
        AppendNumber(out, directive, static_cast<int>(static_cast<short>(va_arg(args, int))), "");
        break;
    case Length::Char:
        AppendNumber(out, directive, static_cast<int>(static_cast<signed char>(va_arg(args, int))), "");
        break;
    case Length::None:
        AppendNumber(out, directive, va_arg(args, int), "");
        break;
    }
}

void AppendUnsigned(std::wstring& out, const Directive& directive, va_list& args) {
    switch (directive.length) {
    case Length::Long:
        AppendNumber(out, directive, va_arg(args, unsigned long), "l");
        break;
    case Length::LongLong:
        AppendNumber(out, directive, va_arg(args, unsigned long long), "ll");
        break;
    case Length::Size:
    case Length::Ptrdiff:
        AppendNumber(out, directive, static_cast<unsigned long long>(va_arg(args, std::size_t)), "ll");
        break;
    case Length::Max:
        AppendNumber(out, directive, static_cast<unsigned long long>(va_arg(args, std::uintmax_t)), "ll");
        break;
    case Length::Short:
        AppendNumber(out, directive, static_cast<unsigned>(static_cast<unsigned short>(va_arg(args, unsigned))), "");
        break;
    case Length::Char:
        AppendNumber(out, directive, static_cast<unsigned>(static_cast<unsigned char>(va_arg(args, unsigned))), "");
        break;
    case Length::None:
        AppendNumber(out, directive, va_arg(args, unsigned), "");
        break;
    }
}

// Reads a width or precision: digits, or '*' taking an int argument.
int ReadCount(const wchar_t*& p, va_list& args) {
    if (*p == L'*') {
        ++p;
        return va_arg(args, int);
    }
    int value = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (value < 100000) {
            value = value * 10 + static_cast<int>(*p - L'0');
        }
        ++p;
    }
    return value;
}

Length ReadLength(const wchar_t*& p) {
    switch (*p) {
    case L'h':
        ++p;
        if (*p == L'h') {
            ++p;
            return Length::Char;
        }
        return Length::Short;
    case L'l':
        ++p;
        if (*p == L'l') {
            ++p;
            return Length::LongLong;
        }
        return Length::Long;
    case L'z':
        ++p;
        return Length::Size;
    case L'j':
        ++p;
        return Length::Max;
    case L't':
        ++p;
        return Length::Ptrdiff;
    default:
        return Length::None;
    }
}

// Parses the conversion that starts after '%' at `p`; returns false (and
// leaves `p`) when the text is not a conversion we know.
bool ParseSpec(const wchar_t*& p, Directive& directive, va_list& args) {
    while (*p != L'\0' && std::wcschr(L"-+ #0", *p) != nullptr) {
        directive.flags += static_cast<char>(*p);
        ++p;
    }
    if (*p == L'*' || (*p >= L'0' && *p <= L'9')) {
        directive.width = ReadCount(p, args);
        if (directive.width < 0) { // a negative '*' width means left-justified
            directive.flags += '-';
            directive.width = directive.width == INT32_MIN ? 0 : -directive.width;
        }
    }
    if (*p == L'.') {
        ++p;
        directive.precision = ReadCount(p, args);
        if (directive.precision < 0) {
            directive.precision = -1;
        }
    }
    directive.length = ReadLength(p);
    if (*p == L'\0' || std::wcschr(L"sScdiuxXop%", *p) == nullptr) {
        return false;
    }
    directive.letter = *p++;
    return true;
}

void AppendConversion(std::wstring& out, const Directive& directive, va_list& args) {
    switch (directive.letter) {
    case L'%':
        out += L'%';
        break;
    case L's':
    case L'S':
        if (directive.length == Length::Short) {
            AppendNarrowString(out, directive, va_arg(args, const char*));
        } else {
            AppendWideString(out, directive, va_arg(args, const wchar_t*));
        }
        break;
    case L'c': {
        // A wide character arrives promoted: as int where wint_t is 16-bit (Windows).
        using PromotedWint = decltype(+std::wint_t{});
        const wchar_t c[2] = {static_cast<wchar_t>(va_arg(args, PromotedWint)), L'\0'};
        AppendPadded(out, directive, c, 1);
        break;
    }
    case L'd':
    case L'i':
        AppendSigned(out, directive, args);
        break;
    case L'p':
        AppendNumber(out, directive, va_arg(args, void*), "");
        break;
    default:
        AppendUnsigned(out, directive, args);
        break;
    }
}

} // namespace

void AppendFormatV(std::wstring& out, const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return;
    }
    va_list work;
    va_copy(work, args);
    const wchar_t* p = format;
    while (*p != L'\0') {
        const wchar_t* percent = std::wcschr(p, L'%');
        if (percent == nullptr) {
            out.append(p);
            break;
        }
        out.append(p, static_cast<std::size_t>(percent - p));
        const wchar_t* cursor = percent + 1;
        Directive directive;
        if (ParseSpec(cursor, directive, work)) {
            AppendConversion(out, directive, work);
        } else {
            out.append(percent, static_cast<std::size_t>(cursor - percent));
        }
        p = cursor;
    }
    va_end(work);
}

} // namespace basekit::detail
