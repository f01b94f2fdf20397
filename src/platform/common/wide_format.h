// printf-style formatting of wide text with one meaning on every platform:
// "%s" takes a wide string. The C libraries read a bare "%s" in a wide format
// as a narrow string (glibc, mingw's ISO stdio) or as a wide one (msvcrt), so
// the format is rewritten into the forms they all agree on before the C
// library's vswprintf runs. Internal to the library.
#ifndef UTIL_STRINGLOADER_WIDE_FORMAT_H
#define UTIL_STRINGLOADER_WIDE_FORMAT_H

#include <cstdarg>
#include <string>

namespace basekit::detail {

// Appends the formatted text to `out`. "%s" and "%S" become "%ls", "%c"
// becomes "%lc", "%hs" stays narrow; "%d %i %u %x %X %o %p %%" with their
// flags, width, precision and length modifiers pass unchanged. A conversion
// the library does not know is copied literally and takes no argument. A text
// longer than 2^20 characters appends nothing, and widths and precisions that
// ask for more append nothing without formatting.
void AppendFormatV(std::wstring& out, const wchar_t* format, va_list args);

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_WIDE_FORMAT_H
