// basekit::RegistryKey over the real Windows registry. The string query asks
// RegGetValueW for REG_SZ without RRF_NOEXPAND, so a REG_EXPAND_SZ value comes
// back with its environment references expanded and any other type is refused
// with ERROR_UNSUPPORTED_TYPE, the same answers the Linux stand-in gives.
#include <string>

#include "basekit.h"
#include "platform/common/registry_open_hook.h"
#include "win32_api.h"

namespace basekit {

namespace {

HKEY AsKey(void* key) {
    return static_cast<HKEY>(key);
}

} // namespace

RegistryKey::~RegistryKey() {
    Close();
}

long RegistryKey::Open(HKEY__* root, const wchar_t* subkeyPath, std::uint32_t accessMask) {
    // A key left open by an earlier Open is released first: an object owns one key at most.
    Close();
    const long hooked = detail::RunRegistryOpenHook(subkeyPath, accessMask);
    if (hooked != ERROR_SUCCESS) {
        return hooked;
    }
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(root, subkeyPath, 0, static_cast<REGSAM>(accessMask), &key);
    if (status == ERROR_SUCCESS) {
        m_key = key;
    }
    return status;
}

long RegistryKey::QueryValue(const wchar_t* name, WideString& value) const {
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    // Ask for the size, then read; the value may grow in between (or expand to
    // more than its stored size), so a read that reports ERROR_MORE_DATA is
    // retried with the size it asks for.
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(AsKey(m_key), nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::wstring buffer;
    for (;;) {
        buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegGetValueW(AsKey(m_key), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
        if (status == ERROR_MORE_DATA) {
            bytes = size;
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        break;
    }
    // RegGetValueW terminates the string; it ends at the first NUL.
    const std::size_t end = buffer.find(L'\0');
    if (end != std::wstring::npos) {
        buffer.resize(end);
    }
    value = WideString(std::move(buffer));
    return ERROR_SUCCESS;
}

long RegistryKey::QueryValue(std::uint32_t& value, const wchar_t* name) const {
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD data = 0;
    DWORD size = sizeof data;
    const LSTATUS status = RegGetValueW(AsKey(m_key), nullptr, name, RRF_RT_REG_DWORD, nullptr, &data, &size);
    if (status == ERROR_SUCCESS) {
        value = data;
    }
    return status;
}

long RegistryKey::Close() {
    if (m_key == nullptr) {
        return ERROR_SUCCESS;
    }
    const LSTATUS status = RegCloseKey(AsKey(m_key));
    m_key = nullptr;
    return status;
}

} // namespace basekit
