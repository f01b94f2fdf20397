// Export control for the util_stringloader shared library.
// Everything is hidden by default; only the names marked UTIL_STRINGLOADER_API
// (the two loader classes, the basekit / tracekit names and the usl_ C
// functions) leave the library.
#ifndef UTIL_STRINGLOADER_EXPORT_H
#define UTIL_STRINGLOADER_EXPORT_H

#if defined(_WIN32)
#if defined(UTIL_STRINGLOADER_STATIC)
#define UTIL_STRINGLOADER_API
#elif defined(UTIL_STRINGLOADER_BUILDING)
#define UTIL_STRINGLOADER_API __declspec(dllexport)
#else
#define UTIL_STRINGLOADER_API __declspec(dllimport)
#endif
#else
#define UTIL_STRINGLOADER_API __attribute__((visibility("default")))
#endif

#endif // UTIL_STRINGLOADER_EXPORT_H
