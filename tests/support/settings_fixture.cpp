// ScopedSettings; see settings_fixture.h. On Linux every change rewrites the
// whole .reg file, each value as hex(type) data; a later line for a name
// replaces an earlier one, as it does in reg import.
#include "support/settings_fixture.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/common/registry_open_hook.h"
#include "win32_api.h"

namespace testsupport {

namespace {
const wchar_t* const kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
std::atomic<std::uint32_t> g_failingMask{0};
std::atomic<long> g_openError{0};

#ifdef _WIN32
// Removes the settings key with its values; true when it is gone.
bool DeleteSettingsKey() {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_WOW64_64KEY, 0); // the tree call leaves the key itself
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
#endif
} // namespace

ScopedSettings::ScopedSettings(std::uint32_t failingMask, long openError) {
#ifdef _WIN32
    m_lock = CreateMutexW(nullptr, FALSE, L"Local\\util_stringloader_tests_registry");
    // WAIT_ABANDONED (a test process died holding the lock) still hands it over.
    if (m_lock == nullptr || WaitForSingleObject(m_lock, INFINITE) == WAIT_FAILED || !DeleteSettingsKey()) {
        throw std::runtime_error("cannot take the settings registry lock or clear the key");
    }
#else
    if (const char* previous = std::getenv("VELMORA_REGISTRY")) {
        m_previous = previous;
    }
    WriteBytes(m_dir.file("settings.reg"), "Windows Registry Editor Version 5.00\n");
    setenv("VELMORA_REGISTRY", m_dir.file("settings.reg").c_str(), 1);
#endif
    g_failingMask = failingMask;
    g_openError = openError;
    basekit::detail::SetRegistryOpenHook([](const wchar_t*, std::uint32_t accessMask) -> long {
        return (accessMask & g_failingMask.load()) != 0 ? g_openError.load() : 0;
    });
}

ScopedSettings::~ScopedSettings() {
    basekit::detail::SetRegistryOpenHook(nullptr);
#ifdef _WIN32
    DeleteSettingsKey();
    ReleaseMutex(m_lock);
    CloseHandle(m_lock);
#else
    m_previous ? setenv("VELMORA_REGISTRY", m_previous->c_str(), 1) : unsetenv("VELMORA_REGISTRY");
#endif
}

void ScopedSettings::Set(const std::wstring& name, std::uint32_t type, const std::wstring& text) {
    std::string bytes;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        bytes = Utf16LeBytes(text + L'\0');
    } else {
        const std::uint64_t number = std::stoull(text, nullptr, 0);
        for (int i = 0; i < (type == REG_QWORD ? 8 : 4); ++i) {
            bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
        }
    }
#ifdef _WIN32
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0,
                                     KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("writing the settings key failed with " + std::to_string(status));
    }
#else
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", type);
    m_values += "\"" + basekit::detail::EncodeUtf8(name) + "\"=hex(" + hex + "):";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, "%s%02x", i == 0 ? "" : ",", static_cast<unsigned char>(bytes[i]));
        m_values += hex;
    }
    m_values += "\n";
    WriteBytes(m_dir.file("settings.reg"), "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\" +
                                               basekit::detail::EncodeUtf8(kSettingsKeyPath) + "]\n" + m_values);
#endif
}

} // namespace testsupport
