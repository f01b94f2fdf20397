// ScopedSettings and ScopedFailingOpen; see settings_fixture.h.
#include "support/settings_fixture.h"

#include <atomic>

#include "platform/common/registry_open_hook.h"

namespace testsupport {

namespace {

std::atomic<std::uint32_t> g_failingMask{0};
std::atomic<long> g_failingError{0};

long FailOpensWithMask(const wchar_t* /*subkeyPath*/, std::uint32_t accessMask) {
    return (accessMask & g_failingMask.load()) != 0 ? g_failingError.load() : 0;
}

} // namespace

ScopedSettings::ScopedSettings() = default;
ScopedSettings::~ScopedSettings() = default;

ScopedSettings& ScopedSettings::CreateKey() {
    m_registry.CreateKey();
    return *this;
}

ScopedSettings& ScopedSettings::SetHomeDir(const std::wstring& directory) {
    m_registry.SetString(L"HomeDir", directory);
    return *this;
}

ScopedSettings& ScopedSettings::SetDefaultLangID(std::uint32_t languageID) {
    m_registry.SetDword(L"EUQDefaultLangID", languageID);
    return *this;
}

ScopedSettings& ScopedSettings::SetDefaultLangIDAsString(const std::wstring& text) {
    m_registry.SetString(L"EUQDefaultLangID", text);
    return *this;
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
