// The instance handle of the module that holds this code. The linker places
// __ImageBase at the start of every PE image, so its address is the base of
// the DLL (or of the executable that links the library statically) without a
// call to GetModuleHandleEx.
#include "platform/common/module_handle.h"
#include "win32_api.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace basekit::detail {

const void* ThisModuleHandle() noexcept {
    return &__ImageBase;
}

} // namespace basekit::detail
