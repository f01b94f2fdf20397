// The instance handle of the module that holds the library's code: the DLL's
// base address on Windows, the shared object's load address on Linux. Passed
// with every trace record. Internal to the library.
#ifndef UTIL_STRINGLOADER_MODULE_HANDLE_H
#define UTIL_STRINGLOADER_MODULE_HANDLE_H

namespace basekit::detail {

const void* ThisModuleHandle() noexcept;

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_MODULE_HANDLE_H
