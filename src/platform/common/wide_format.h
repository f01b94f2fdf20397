// printf-style formatting of wide text with one meaning on every platform:
// "%s" takes a wide string. The C libraries disagree here (glibc and mingw's
// ISO stdio read a bare "%s" as a narrow string in a wide format), so the
// library formats by itself. Internal to the library.
#ifndef UTIL_STRINGLOADER_WIDE_FORMAT_H
#define UTIL_STRINGLOADER_WIDE_FORMAT_H

#include <cstdarg>
#include <string>

namespace basekit::detail {

// Appends the formatted text to `out`. Conversions: %s / %ls / %S (wide string),
// %hs (narrow string), %c / %lc (wide character), %d %i %u %x %X %o (int-sized,
// with h, hh, l, ll, z, j and t length modifiers), %p, %%. Flags "-+ #0", width
// and precision (also as '*') are honoured. Anything else is copied literally.
void AppendFormatV(std::wstring& out, const wchar_t* format, va_list args);

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_WIDE_FORMAT_H
