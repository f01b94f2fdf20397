// The Win32 names the loader calls (file search, profile reader, error codes,
// registry roots and access masks). On Windows they come from <windows.h>; on
// Linux from our stand-ins, which keep the same names and contracts so that the
// loader's source needs no conditional code of its own. Both sides also provide
// basekit::detail::ProfileFile, the reader the loader holds for one table file:
// on Windows one real GetPrivateProfileStringW call per key, on Linux one read
// and parse of the file when the object is made.
#ifndef UTIL_STRINGLOADER_WIN32_API_H
#define UTIL_STRINGLOADER_WIN32_API_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "win/profile_file_win.h"
#else
#include "posix/profile_reader.h"
#include "posix/win32_posix.h"
#endif

#endif // UTIL_STRINGLOADER_WIN32_API_H
