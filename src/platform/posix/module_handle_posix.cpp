// The load address of the shared object (or executable) that holds this code,
// found through dladdr on one of our own objects: the Linux counterpart of
// the module handle a Windows DLL gets from __ImageBase.
#include <dlfcn.h>

#include "platform/common/module_handle.h"

namespace basekit::detail {

namespace {
// Any object of ours will do; its address lies inside this module's image.
const char kModuleAnchor = 0;
} // namespace

const void* ThisModuleHandle() noexcept {
    static const void* const handle = [] {
        Dl_info info{};
        if (dladdr(&kModuleAnchor, &info) != 0) {
            return static_cast<const void*>(info.dli_fbase);
        }
        return static_cast<const void*>(nullptr);
    }();
    return handle;
}

} // namespace basekit::detail
