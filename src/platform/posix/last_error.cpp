// GetLastError / SetLastError for the Linux stand-ins: one value per thread,
// as on Windows.
#include "posix/win32_posix.h"

namespace {
thread_local DWORD t_lastError = 0;
} // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD code) {
    t_lastError = code;
}
