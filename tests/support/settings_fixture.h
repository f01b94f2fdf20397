// Installation settings for a test: the loader's registry values through
// SettingsRegistry (see test_registry.h), and Opens of the key made to fail.
#ifndef UTIL_STRINGLOADER_SETTINGS_FIXTURE_H
#define UTIL_STRINGLOADER_SETTINGS_FIXTURE_H

#include <cstdint>

#include "support/test_registry.h"

namespace testsupport {

// Starts with no settings key at all; CreateKey, SetHomeDir, SetDefaultLangID
// and SetDefaultLangIDAsString write at once.
using ScopedSettings = SettingsRegistry;

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
