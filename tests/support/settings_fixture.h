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
// it, starting with the key missing altogether. The destructor removes the key
// (Windows) or restores VELMORA_REGISTRY (Linux). One object at a time per
// process; not for use from several threads.
class ScopedSettings {
public:
    ScopedSettings();
    ~ScopedSettings();
    ScopedSettings(const ScopedSettings&) = delete;
    ScopedSettings& operator=(const ScopedSettings&) = delete;

    // Stores `bytes` as value `name` of REG_* type `type`, creating the key.
    ScopedSettings& Set(const std::wstring& name, std::uint32_t type, const std::string& bytes);
    // Text as UTF-16LE with its NUL (on Linux, characters of the Basic Multilingual Plane only).
    ScopedSettings& SetString(const std::wstring& name, const std::wstring& text, std::uint32_t type = 1);
    // Little-endian: four bytes, eight for REG_QWORD (11).
    ScopedSettings& SetNumber(const std::wstring& name, std::uint64_t value, std::uint32_t type = 4);

private:
#ifdef _WIN32
    void* m_lock = nullptr;
#else
    TempDir m_dir;
    std::optional<std::string> m_previous; // VELMORA_REGISTRY before this object
    std::string m_values;                  // the value lines, once the key exists
#endif
};

// Makes the next Opens of the settings key fail with `error` while `mask`
// (e.g. 0x100, KEY_WOW64_64KEY) is part of the access mask; undone on destruction.
class ScopedFailingOpen {
public:
    explicit ScopedFailingOpen(std::uint32_t mask, long error = 5);
    ~ScopedFailingOpen();
    ScopedFailingOpen(const ScopedFailingOpen&) = delete;
    ScopedFailingOpen& operator=(const ScopedFailingOpen&) = delete;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
