// AppendFormatV: the format is rewritten once (the string and character
// conversions into their explicit wide forms, anything unknown into literal
// text), the widths and precisions are added up so that an absurd one fails at
// once, then the C library's vswprintf formats into a buffer that grows until
// the text fits.
#include "platform/common/wide_format.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

namespace basekit::detail {

namespace {

// Formatting gives up (and appends nothing) beyond this many characters. The C
// library writes out every padding character even when its buffer is full, so
// "%999999999d" costs seconds per attempt: widths and precisions that ask for
// more are refused before vswprintf runs.
constexpr std::size_t kMaxFormattedChars = std::size_t{1} << 20;

// A width or precision: digits (saturated just above the limit), or '*', an
// int argument read before the conversion's own.
struct Count {
    std::size_t value = 0;
    bool fromArgument = false;
};

struct Conversion {
    Count width;
    Count precision;
    std::wstring length; // "", "h", "hh", "l", "ll", "j", "z" or "t"
    wchar_t letter;      // as written, before rewriting
};

struct Plan {
    std::wstring format;          // what vswprintf gets
    std::size_t literalChars = 0; // the text around the conversions, as printed
    std::vector<Conversion> conversions;
    bool countsFromArguments = false;
};

Count ReadCount(const wchar_t*& p) {
    Count count;
    if (*p == L'*') {
        ++p;
        count.fromArgument = true;
        return count;
    }
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        count.value = std::min(count.value * 10 + static_cast<std::size_t>(*p - L'0'), kMaxFormattedChars + 1);
    }
    return count;
}

// The format with "%s"/"%S" as "%ls" and "%c" as "%lc" ("%hs" stays narrow),
// and anything that is not a conversion we know with its '%' doubled.
Plan MakePlan(const wchar_t* format) {
    Plan plan;
    for (const wchar_t* p = format; *p != L'\0';) {
        if (*p != L'%') {
            plan.format += *p++;
            ++plan.literalChars;
            continue;
        }
        const wchar_t* const start = p++;
        Conversion conversion{};
        p += std::wcsspn(p, L"-+ #0");
        conversion.width = ReadCount(p);
        if (*p == L'.') {
            ++p;
            conversion.precision = ReadCount(p);
        }
        const std::wstring head(start, p);
        const std::size_t lengthChars = std::wcsspn(p, L"hljzt");
        conversion.length.assign(p, lengthChars <= 2 ? lengthChars : 0);
        conversion.letter = p[conversion.length.size()];
        if (lengthChars > 2 || conversion.letter == L'\0' ||
            std::wcschr(L"sScdiuxXop%", conversion.letter) == nullptr) {
            plan.format += L"%" + std::wstring(start, p); // not a conversion: literal text, the '%' escaped
            plan.literalChars += static_cast<std::size_t>(p - start);
            continue;
        }
        p += conversion.length.size() + 1;
        const wchar_t letter = conversion.letter;
        if (letter == L's' || letter == L'S' || letter == L'c') {
            plan.format += head + (letter == L'c' ? L"lc" : conversion.length == L"h" ? L"hs" : L"ls");
        } else if (letter == L'%') {
            plan.format += L"%%";
            ++plan.literalChars;
            continue; // takes no argument
        } else {
            plan.format += head + (letter == L'p' ? L"" : conversion.length) + letter;
        }
        plan.countsFromArguments |= conversion.width.fromArgument || conversion.precision.fromArgument;
        plan.conversions.push_back(std::move(conversion));
    }
    return plan;
}

// The type a "%c" argument arrives as after the default promotions: wint_t is
// 16-bit on Windows, 32-bit elsewhere.
using PromotedWint = decltype(+std::wint_t{});

// Takes the value of `conversion` off `args`, by its type.
void SkipValue(va_list& args, const Conversion& conversion) {
    const std::wstring& length = conversion.length;
    const bool isSigned = conversion.letter == L'd' || conversion.letter == L'i';
    switch (conversion.letter) {
    case L'p':
        (void)va_arg(args, const void*);
        break;
    case L's':
    case L'S':
        if (length == L"h") {
            (void)va_arg(args, const char*);
        } else {
            (void)va_arg(args, const wchar_t*);
        }
        break;
    case L'c':
        (void)va_arg(args, PromotedWint);
        break;
    default:
        if (length == L"l") {
            isSigned ? (void)va_arg(args, long) : (void)va_arg(args, unsigned long);
        } else if (length == L"ll") {
            isSigned ? (void)va_arg(args, long long) : (void)va_arg(args, unsigned long long);
        } else if (length == L"j") {
            isSigned ? (void)va_arg(args, std::intmax_t) : (void)va_arg(args, std::uintmax_t);
        } else if (length == L"z") {
            (void)va_arg(args, std::size_t);
        } else if (length == L"t") {
            (void)va_arg(args, std::ptrdiff_t);
        } else {
            isSigned ? (void)va_arg(args, int) : (void)va_arg(args, unsigned);
        }
    }
}

// The characters that the widths and precisions ask for: per conversion the
// larger of its width and (for numbers, which it pads with zeros) its
// precision. A '*' count is read from a copy of `args`, each argument before it
// taken off by its type; a negative width means left-aligned, a negative
// precision none.
std::size_t RequestedChars(const Plan& plan, va_list args) {
    va_list walk;
    va_copy(walk, args);
    std::size_t total = 0;
    for (const Conversion& conversion : plan.conversions) {
        std::size_t width = conversion.width.value;
        std::size_t precision = conversion.precision.value;
        if (plan.countsFromArguments) {
            if (conversion.width.fromArgument) {
                const int value = va_arg(walk, int);
                width = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
            }
            if (conversion.precision.fromArgument) {
                const int value = va_arg(walk, int);
                precision = value < 0 ? 0u : static_cast<unsigned>(value);
            }
            SkipValue(walk, conversion);
        }
        const bool truncates = conversion.letter == L's' || conversion.letter == L'S';
        total += std::max(width, truncates ? 0 : precision);
    }
    va_end(walk);
    return total;
}

} // namespace

void AppendFormatV(std::wstring& out, const wchar_t* format, va_list args) {
    const Plan plan = MakePlan(format != nullptr ? format : L"");
    if (plan.literalChars + RequestedChars(plan, args) > kMaxFormattedChars) {
        return;
    }
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list work;
        va_copy(work, args);
        errno = 0;
        const int written = std::vswprintf(buffer.data(), buffer.size(), plan.format.c_str(), work);
        va_end(work);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
            out.append(buffer.data(), static_cast<std::size_t>(written));
            return;
        }
        // Too small: glibc answers -1, mingw the length it needs. An encoding
        // error (a narrow string the C locale cannot convert) never fits.
        if (errno == EILSEQ || buffer.size() > kMaxFormattedChars ||
            (written > 0 && static_cast<std::size_t>(written) > kMaxFormattedChars)) {
            return;
        }
        const std::size_t next = written > 0 ? static_cast<std::size_t>(written) + 1 : 2 * buffer.size();
        buffer.resize(std::min(next, kMaxFormattedChars + 1)); // + 1: the terminating NUL
    }
}

} // namespace basekit::detail
