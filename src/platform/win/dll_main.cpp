// The DLL's entry point. The library keeps no global state that needs
// preparing or tearing down, so every notification succeeds at once. It is
// exported by name, as the suite's other modules export theirs.
#include "win32_api.h"

extern "C" __declspec(dllexport) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    static_cast<void>(instance);
    static_cast<void>(reason);
    static_cast<void>(reserved);
    return TRUE;
}
