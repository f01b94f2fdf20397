// A test seam in RegistryKey::Open: a hook that may fail an Open before the
// registry is touched, so tests can make the first (64-bit view) attempt fail
// and the second succeed. Hidden inside the shared library; tests reach it
// through the internal static library. Internal to the library.
#ifndef UTIL_STRINGLOADER_REGISTRY_OPEN_HOOK_H
#define UTIL_STRINGLOADER_REGISTRY_OPEN_HOOK_H

#include <cstdint>

namespace basekit::detail {

// Returns 0 to let the Open proceed, or the error code that Open returns.
using RegistryOpenHook = long (*)(const wchar_t* subkeyPath, std::uint32_t accessMask);

void SetRegistryOpenHook(RegistryOpenHook hook);
// The installed hook's answer for this Open; 0 when no hook is installed.
long RunRegistryOpenHook(const wchar_t* subkeyPath, std::uint32_t accessMask);

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_REGISTRY_OPEN_HOOK_H
