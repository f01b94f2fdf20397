// ScopedSettings and ScopedFailingOpen; see settings_fixture.h.
#include "support/settings_fixture.h"

#include <atomic>
#include <cstdlib>

#include "platform/common/registry_open_hook.h"
#include "support/test_files.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace testsupport {

namespace {

constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";

#if defined(_WIN32)

void DeleteSettingsKey() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvenic");
}

#else

std::wstring EscapeRegString(const std::wstring& text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            escaped += L'\\';
        }
        escaped += c;
    }
    return escaped;
}

#endif

std::atomic<std::uint32_t> g_failingMask{0};
std::atomic<long> g_failingError{0};

long FailOpensWithMask(const wchar_t* /*subkeyPath*/, std::uint32_t accessMask) {
    return (accessMask & g_failingMask.load()) != 0 ? g_failingError.load() : 0;
}

} // namespace

ScopedSettings::ScopedSettings() {
#if defined(_WIN32)
    DeleteSettingsKey();
#else
    m_dir = std::make_unique<TempDir>();
    if (const char* previous = std::getenv("VELMORA_REGISTRY")) {
        m_previousRegistryVariable = previous;
    }
    setenv("VELMORA_REGISTRY", m_dir->file("registry.reg").c_str(), 1);
#endif
    Write();
}

ScopedSettings::~ScopedSettings() {
#if defined(_WIN32)
    DeleteSettingsKey();
#else
    if (m_previousRegistryVariable) {
        setenv("VELMORA_REGISTRY", m_previousRegistryVariable->c_str(), 1);
    } else {
        unsetenv("VELMORA_REGISTRY");
    }
#endif
}

ScopedSettings& ScopedSettings::CreateKey() {
    m_keyExists = true;
    Write();
    return *this;
}

ScopedSettings& ScopedSettings::SetHomeDir(const std::wstring& directory) {
    m_homeDir = directory;
    return CreateKey();
}

ScopedSettings& ScopedSettings::SetDefaultLangID(std::uint32_t languageID) {
    m_defaultLangID = languageID;
    m_defaultLangIDText.reset();
    return CreateKey();
}

ScopedSettings& ScopedSettings::SetDefaultLangIDAsString(const std::wstring& text) {
    m_defaultLangIDText = text;
    m_defaultLangID.reset();
    return CreateKey();
}

void ScopedSettings::Write() {
#if defined(_WIN32)
    DeleteSettingsKey();
    if (!m_keyExists) {
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const auto setString = [key](const wchar_t* name, const std::wstring& text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };
    if (m_homeDir) {
        setString(L"HomeDir", *m_homeDir);
    }
    if (m_defaultLangID) {
        const DWORD value = *m_defaultLangID;
        RegSetValueExW(key, L"EUQDefaultLangID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    if (m_defaultLangIDText) {
        setString(L"EUQDefaultLangID", *m_defaultLangIDText);
    }
    RegCloseKey(key);
#else
    std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n";
    if (m_keyExists) {
        text += L"[HKEY_LOCAL_MACHINE\\";
        text += kSettingsKey;
        text += L"]\r\n";
        if (m_defaultLangID) {
            wchar_t hex[16];
            swprintf(hex, 16, L"%08x", static_cast<unsigned>(*m_defaultLangID));
            text += L"\"EUQDefaultLangID\"=dword:" + std::wstring(hex) + L"\r\n";
        }
        if (m_defaultLangIDText) {
            text += L"\"EUQDefaultLangID\"=\"" + EscapeRegString(*m_defaultLangIDText) + L"\"\r\n";
        }
        if (m_homeDir) {
            text += L"\"HomeDir\"=\"" + EscapeRegString(*m_homeDir) + L"\"\r\n";
        }
        text += L"\r\n";
    }
    WriteTextFile(m_dir->file("registry.reg"), text, Encoding::Utf16LeBom);
#endif
}

ScopedFailingOpen::ScopedFailingOpen(std::uint32_t mask, long error) {
    g_failingMask = mask;
    g_failingError = error;
    basekit::detail::SetRegistryOpenHook(&FailOpensWithMask);
}

ScopedFailingOpen::~ScopedFailingOpen() {
    basekit::detail::SetRegistryOpenHook(nullptr);
    g_failingMask = 0;
}

} // namespace testsupport
