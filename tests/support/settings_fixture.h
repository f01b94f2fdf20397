// Installation settings for a test: the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Corvenic\Velmora\CurrentVersion with the values a
// test puts in it, and Opens of the key made to fail. On Windows the key is in
// the real registry (of the Wine prefix under ctest), serialised by a
// machine-wide lock because every test process that ctest runs in parallel
// shares it; on Linux it is a .reg file that VELMORA_REGISTRY points at.
#ifndef UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
#define UTIL_STRINGLOADER_SETTINGS_FIXTURE_H

#include <cstdint>
#include <optional>
#include <string>

#include "support/test_files.h"

namespace testsupport {

// While an object lives the settings key holds exactly what the test put in
// it, starting with the key missing altogether, and the Opens of it whose
// access mask shares a bit with `failingMask` (e.g. 0x100, KEY_WOW64_64KEY)
// fail with `openError`. The destructor removes the key (Windows) or restores
// VELMORA_REGISTRY (Linux), and lets every Open through again. One object at a
// time per process; not for use from several threads.
class ScopedSettings {
public:
    explicit ScopedSettings(std::uint32_t failingMask = 0, long openError = 5);
    ~ScopedSettings();
    ScopedSettings(const ScopedSettings&) = delete;
    ScopedSettings& operator=(const ScopedSettings&) = delete;

    // Stores value `name` of REG_* type `type`, creating the key: for REG_SZ
    // and REG_EXPAND_SZ `text` as UTF-16LE with its NUL, for the other types
    // the number `text` reads as (0x for hex), little-endian in four bytes,
    // eight for REG_QWORD.
    void Set(const std::wstring& name, std::uint32_t type, const std::wstring& text);

private:
#ifdef _WIN32
    void* m_lock = nullptr;
#else
    TempDir m_dir;
    std::optional<std::string> m_previous; // VELMORA_REGISTRY before this object
    std::string m_values;                  // the value lines, once the key exists
#endif
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
