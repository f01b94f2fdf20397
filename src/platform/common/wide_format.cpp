// AppendFormatV: the format is rewritten once (the string and character
// conversions into their explicit wide forms, anything unknown into literal
// text), then the C library's vswprintf formats into a buffer that grows until
// the text fits.
#include "platform/common/wide_format.h"

#include <cerrno>
#include <cwchar>
#include <vector>

namespace basekit::detail {

namespace {

// Formatting gives up (and appends nothing) beyond this many characters: a
// width such as "%2000000000d" must not take the process's memory.
constexpr std::size_t kMaxFormattedChars = std::size_t{1} << 20;

// The format with "%s"/"%S" as "%ls" and "%c" as "%lc" ("%hs" stays narrow),
// and anything that is not a conversion we know with its '%' doubled.
std::wstring PortableFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p != L'\0';) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* const start = p++;
        p += std::wcsspn(p, L"-+ #0");
        p += std::wcsspn(p, L"*0123456789");
        p += *p == L'.' ? 1 + std::wcsspn(p + 1, L"*0123456789") : 0;
        const std::wstring head(start, p);
        const std::size_t lengthChars = std::wcsspn(p, L"hljzt");
        const std::wstring length(p, lengthChars <= 2 ? lengthChars : 0);
        const wchar_t letter = p[length.size()];
        if (lengthChars > 2 || letter == L'\0' || std::wcschr(L"sScdiuxXop%", letter) == nullptr) {
            out += L"%" + std::wstring(start, p); // not a conversion: literal text, the '%' escaped
            continue;
        }
        p += length.size() + 1;
        if (letter == L's' || letter == L'S' || letter == L'c') {
            out += head + (letter == L'c' ? L"lc" : length == L"h" ? L"hs" : L"ls");
        } else {
            out += letter == L'%' ? L"%%" : head + (letter == L'p' ? L"" : length) + letter;
        }
    }
    return out;
}

} // namespace

void AppendFormatV(std::wstring& out, const wchar_t* format, va_list args) {
    const std::wstring portable = format != nullptr ? PortableFormat(format) : L"";
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list work;
        va_copy(work, args);
        errno = 0;
        const int written = std::vswprintf(buffer.data(), buffer.size(), portable.c_str(), work);
        va_end(work);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
            out.append(buffer.data(), static_cast<std::size_t>(written));
            return;
        }
        // Too small: glibc answers -1, mingw the length it needs. An encoding
        // error (a narrow string the C locale cannot convert) never fits.
        if (errno == EILSEQ || buffer.size() >= kMaxFormattedChars) {
            return;
        }
        buffer.resize(written > 0 ? static_cast<std::size_t>(written) + 1 : buffer.size() * 2);
    }
}

} // namespace basekit::detail
