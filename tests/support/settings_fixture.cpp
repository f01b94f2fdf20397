// ScopedFailingOpen; see settings_fixture.h.
#include "support/settings_fixture.h"

#include <atomic>

#include "platform/common/registry_open_hook.h"

namespace testsupport {

static std::atomic<std::uint32_t> g_failingMask{0};
static std::atomic<long> g_failingError{0};

ScopedFailingOpen::ScopedFailingOpen(std::uint32_t mask, long error) {
    g_failingMask = mask;
    g_failingError = error;
    basekit::detail::SetRegistryOpenHook([](const wchar_t*, std::uint32_t accessMask) -> long {
        return (accessMask & g_failingMask.load()) != 0 ? g_failingError.load() : 0;
    });
}

ScopedFailingOpen::~ScopedFailingOpen() {
    basekit::detail::SetRegistryOpenHook(nullptr);
    g_failingMask = 0;
}

} // namespace testsupport
