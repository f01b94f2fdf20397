// The installation settings key HKEY_LOCAL_MACHINE\SOFTWARE\Corvenic\Velmora\CurrentVersion
// for tests. On Windows the helper writes the real registry (of the Wine prefix
// under ctest), serialised by a machine-wide lock because every test process
// that ctest runs in parallel shares the key; on Linux it writes a .reg file and
// points VELMORA_REGISTRY at it. Either way a test says "the registry holds
// HomeDir=X and EUQDefaultLangID=Y" once and runs on both platforms.
#ifndef UTIL_STRINGLOADER_TEST_REGISTRY_H
#define UTIL_STRINGLOADER_TEST_REGISTRY_H

#include <cstdint>
#include <optional>
#include <string>

#include "support/test_files.h"

namespace testsupport {

// The settings key below HKEY_LOCAL_MACHINE, as the loader opens it.
inline constexpr const wchar_t* kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";

// While an object lives the settings key holds exactly what the test put in
// it; a new object starts with the key missing altogether. The destructor
// removes the key (Windows) or restores VELMORA_REGISTRY (Linux). One object at
// a time per process; not for use from several threads.
class SettingsRegistry {
public:
    SettingsRegistry();
    ~SettingsRegistry();
    SettingsRegistry(const SettingsRegistry&) = delete;
    SettingsRegistry& operator=(const SettingsRegistry&) = delete;

    // Stores `bytes` as value `name` of REG_* type `type`; a null name only
    // creates the key.
    SettingsRegistry& Set(const wchar_t* name, std::uint32_t type, const std::string& bytes);
    SettingsRegistry& CreateKey() { return Set(nullptr, 0, ""); }
    // Text as UTF-16LE with its NUL (on Linux, characters of the Basic Multilingual Plane only).
    SettingsRegistry& SetString(const std::wstring& name, const std::wstring& text, std::uint32_t type = 1);
    // Little-endian: four bytes, eight for REG_QWORD (11).
    SettingsRegistry& SetNumber(const std::wstring& name, std::uint64_t value, std::uint32_t type = 4);
    // The loader's two values; EUQDefaultLangID as a string has the wrong type.
    SettingsRegistry& SetHomeDir(const std::wstring& directory) { return SetString(L"HomeDir", directory); }
    SettingsRegistry& SetDefaultLangID(std::uint32_t languageID) { return SetNumber(L"EUQDefaultLangID", languageID); }
    SettingsRegistry& SetDefaultLangIDAsString(const std::wstring& text) {
        return SetString(L"EUQDefaultLangID", text);
    }

private:
#ifdef _WIN32
    void* m_lock = nullptr;
#else
    TempDir m_dir;
    std::optional<std::string> m_previous; // VELMORA_REGISTRY before this object
    std::string m_key;                     // the key line and its value lines, once the key exists
#endif
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TEST_REGISTRY_H
