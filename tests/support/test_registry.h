// The installation settings key for tests, SOFTWARE\Corvenic\Velmora\CurrentVersion
// under HKEY_LOCAL_MACHINE. On Windows the helper writes the real registry (of the
// Wine prefix under ctest); on Linux it writes a .reg file and points
// VELMORA_REGISTRY at it. Either way a test can say "the registry holds
// HomeDir=X and EUQDefaultLangID=Y" once and run on both platforms.
#ifndef UTIL_STRINGLOADER_TEST_REGISTRY_H
#define UTIL_STRINGLOADER_TEST_REGISTRY_H

#include <cstdint>
#include <memory>
#include <string>

namespace testsupport {

// The settings key below HKEY_LOCAL_MACHINE, as the loader opens it.
inline constexpr const wchar_t* kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";

// While an object lives, the settings key holds exactly what the test put in
// it; a new object starts with the key missing altogether. The destructor
// removes the key again (Windows) or restores VELMORA_REGISTRY (Linux).
// Objects serialise on a machine-wide lock on Windows, because the key is
// shared by every test process that ctest runs in parallel. One object at a
// time per process; not for use from several threads.
class SettingsRegistry {
public:
    SettingsRegistry();
    ~SettingsRegistry();
    SettingsRegistry(const SettingsRegistry&) = delete;
    SettingsRegistry& operator=(const SettingsRegistry&) = delete;

    // Creates the key without values.
    SettingsRegistry& CreateKey();
    SettingsRegistry& SetString(const std::wstring& name, const std::wstring& value);       // REG_SZ
    SettingsRegistry& SetExpandString(const std::wstring& name, const std::wstring& value); // REG_EXPAND_SZ
    SettingsRegistry& SetDword(const std::wstring& name, std::uint32_t value);              // REG_DWORD
    SettingsRegistry& SetQword(const std::wstring& name, std::uint64_t value);              // REG_QWORD
    SettingsRegistry& SetBinary(const std::wstring& name, const std::string& bytes);        // REG_BINARY
    // Removes one value; the key stays.
    SettingsRegistry& DeleteValue(const std::wstring& name);

private:
    void SetRaw(const std::wstring& name, std::uint32_t type, const std::string& bytes, const std::wstring& text);

    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TEST_REGISTRY_H
