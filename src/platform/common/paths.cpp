// basekit::JoinPath and basekit::FileBaseName. Both accept '\' and '/' as
// separators, since Linux installations write paths with '/' and Windows ones
// with '\', and the Linux stand-ins accept either.
#include <cwchar>

#include "basekit.h"

namespace basekit {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

WideString JoinPath(const wchar_t* directory, const wchar_t* name) {
    std::wstring path = directory != nullptr ? directory : L"";
    if (path.empty() || !IsSeparator(path.back())) {
        const bool slashesOnly = path.find(L'/') != std::wstring::npos && path.find(L'\\') == std::wstring::npos;
        path += slashesOnly ? L'/' : L'\\';
    }
    if (name != nullptr) {
        path += name;
    }
    return WideString(std::move(path));
}

WideString FileBaseName(const wchar_t* fileName) {
    if (fileName == nullptr) {
        return WideString(L"");
    }
    std::wstring name = fileName;
    const std::size_t separator = name.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        name.erase(0, separator + 1);
    }
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return WideString(std::move(name));
}

} // namespace basekit
