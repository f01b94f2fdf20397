// Installation settings for a test: the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Corvenic\Velmora\CurrentVersion with its values.
// On Windows the real key is written (and removed afterwards); on Linux a .reg
// file is written and VELMORA_REGISTRY points at it for the test's lifetime.
// The loader's two values by name, over SettingsRegistry.
#ifndef UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
#define UTIL_STRINGLOADER_SETTINGS_FIXTURE_H

#include <cstdint>
#include <string>

#include "support/test_registry.h"

namespace testsupport {

class ScopedSettings {
public:
    // Starts with no settings key at all.
    ScopedSettings();
    ~ScopedSettings();
    ScopedSettings(const ScopedSettings&) = delete;
    ScopedSettings& operator=(const ScopedSettings&) = delete;

    // Creates the key (with whatever values were set); values added later are written at once.
    ScopedSettings& CreateKey();
    ScopedSettings& SetHomeDir(const std::wstring& directory);
    ScopedSettings& SetDefaultLangID(std::uint32_t languageID);
    // Stores EUQDefaultLangID as a string value: the wrong type.
    ScopedSettings& SetDefaultLangIDAsString(const std::wstring& text);

private:
    SettingsRegistry m_registry;
};

// Makes the next Opens of the settings key fail while `mask` (e.g. 0x100,
// KEY_WOW64_64KEY) is part of the access mask; undone on destruction.
class ScopedFailingOpen {
public:
    explicit ScopedFailingOpen(std::uint32_t mask, long error = 5);
    ~ScopedFailingOpen();
    ScopedFailingOpen(const ScopedFailingOpen&) = delete;
    ScopedFailingOpen& operator=(const ScopedFailingOpen&) = delete;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
