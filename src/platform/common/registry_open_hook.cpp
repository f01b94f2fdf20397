// The registry test seam; see registry_open_hook.h.
#include "platform/common/registry_open_hook.h"

#include <atomic>

namespace basekit::detail {

namespace {
std::atomic<RegistryOpenHook> g_openHook{nullptr};
} // namespace

void SetRegistryOpenHook(RegistryOpenHook hook) {
    g_openHook.store(hook);
}

long RunRegistryOpenHook(const wchar_t* subkeyPath, std::uint32_t accessMask) {
    const RegistryOpenHook hook = g_openHook.load();
    return hook != nullptr ? hook(subkeyPath, accessMask) : 0;
}

} // namespace basekit::detail
