/* The library's C interface: every lookup, query and conversion of the two
   C++ classes behind plain functions that any compiler, .NET's P/Invoke and
   script FFIs can call. Valid C99 and C++. Every call returns a usl_status;
   no exception crosses, and all text goes into buffers the caller owns, so the
   library never hands out memory for the caller to free. */
#ifndef UTIL_STRINGLOADER_C_H
#define UTIL_STRINGLOADER_C_H

#include <stddef.h>
#include <stdint.h>

#include "util_stringloader_export.h"

#define USL_VERSION_MAJOR 1
#define USL_VERSION_MINOR 1
#define USL_VERSION_PATCH 0

/* One UTF-16 code unit. A Windows caller passes its wide strings as they are. */
#if defined(_WIN32)
typedef wchar_t usl_char16;
#elif defined(__cplusplus)
typedef char16_t usl_char16;
#else
typedef uint_least16_t usl_char16;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque: one CUtilStringLoader. */
typedef struct usl_loader usl_loader;

/* Later versions only add values. */
typedef enum usl_status {
    USL_OK = 0,
    USL_NOT_FOUND = 1,
    USL_BUFFER_TOO_SMALL = 2,
    USL_INVALID_ARGUMENT = 3,
    USL_NO_DIRECTORY = 4,
    USL_OUT_OF_MEMORY = 5
} usl_status;

/* Text out (buffer, capacity, length), for every call that has them:
   capacity counts code units (bytes in the UTF-8 forms, 16-bit units in the 16
   forms) including the terminating NUL. For a text of n units: n < capacity
   copies it with a NUL, *length = n, USL_OK; otherwise USL_BUFFER_TOO_SMALL,
   *length = n and the buffer untouched. buffer may be null only when capacity
   is 0 (a size query). UTF-8 output turns an unpaired surrogate of a stored
   text into U+FFFD; UTF-16 output keeps it as it is.

   Text in is NUL-terminated. Invalid UTF-8, or an unpaired surrogate in the 16
   forms, is USL_INVALID_ARGUMENT. A null loader, a null out-pointer, a null
   text where one is required or a null buffer with a nonzero capacity is
   USL_INVALID_ARGUMENT, with nothing written. An allocation failure is
   USL_OUT_OF_MEMORY.

   Threads: lookups and queries on one loader may run concurrently; load,
   set_default_language and free must not overlap any other call on it. */

/* "1.1.0": the library's own version. */
UTIL_STRINGLOADER_API const char* usl_version(void);
/* A short English sentence for status; "unknown status" for other values. */
UTIL_STRINGLOADER_API const char* usl_status_text(usl_status status);

/* A new, empty loader (default language 9) at *loader; on an allocation
   failure *loader is set to null. */
UTIL_STRINGLOADER_API usl_status usl_loader_new(usl_loader** loader);
/* A copy of every table and the default language of source at *copy; on an
   allocation failure *copy is set to null. With a null source nothing is
   written. */
UTIL_STRINGLOADER_API usl_status usl_loader_clone(const usl_loader* source, usl_loader** copy);
/* Destroys loader; null does nothing. */
UTIL_STRINGLOADER_API void usl_loader_free(usl_loader* loader);

/* Loads every "*.cfg" table of directory and then the default language of the
   installation settings. A null directory is taken from the installation
   settings; USL_NO_DIRECTORY when they name none. */
UTIL_STRINGLOADER_API usl_status usl_loader_load(usl_loader* loader, const char* directory);
UTIL_STRINGLOADER_API usl_status usl_loader_load16(usl_loader* loader, const usl_char16* directory);

UTIL_STRINGLOADER_API usl_status usl_loader_default_language(const usl_loader* loader, int32_t* language_id);
UTIL_STRINGLOADER_API usl_status usl_loader_set_default_language(usl_loader* loader, int32_t language_id);

/* The text of string_id in language_id; with fallback nonzero, else in the
   neutral table of its primary language when that table is loaded, else in
   neutral English. USL_NOT_FOUND (empty text written when capacity >= 1) when
   nothing holds it. */
UTIL_STRINGLOADER_API usl_status usl_loader_string(const usl_loader* loader, int32_t language_id, int32_t string_id,
                                                   int fallback, char* buffer, size_t capacity, size_t* length);
UTIL_STRINGLOADER_API usl_status usl_loader_string16(const usl_loader* loader, int32_t language_id, int32_t string_id,
                                                     int fallback, usl_char16* buffer, size_t capacity, size_t* length);

/* The loaded language IDs in ascending order. *count receives their number n;
   with capacity < n the call answers USL_BUFFER_TOO_SMALL and leaves
   language_ids untouched. language_ids may be null only with capacity 0. */
UTIL_STRINGLOADER_API usl_status usl_loader_languages(const usl_loader* loader, int32_t* language_ids, size_t capacity,
                                                      size_t* count);
/* The loaded language that best serves language_id; USL_NOT_FOUND with
 *match 0 when none does. */
UTIL_STRINGLOADER_API usl_status usl_loader_match_language(const usl_loader* loader, int32_t language_id,
                                                           int32_t* match);
/* The language whose table holds text as string_id: the whole text, or with
   as_list nonzero one item of a ";"-separated list. The default language when
   no table holds it. */
UTIL_STRINGLOADER_API usl_status usl_loader_language_of_text(const usl_loader* loader, int32_t string_id,
                                                             const char* text, int as_list, int32_t* language_id);
UTIL_STRINGLOADER_API usl_status usl_loader_language_of_text16(const usl_loader* loader, int32_t string_id,
                                                               const usl_char16* text, int as_list,
                                                               int32_t* language_id);

/* Locale name (fr, pt_br) -> language ID; USL_NOT_FOUND with 0 when no row
   fits. */
UTIL_STRINGLOADER_API usl_status usl_locale_to_language(const char* locale, uint32_t* language_id);
UTIL_STRINGLOADER_API usl_status usl_locale_to_language16(const usl_char16* locale, uint32_t* language_id);
/* Language ID -> locale name; USL_NOT_FOUND, as an empty lookup, when none. */
UTIL_STRINGLOADER_API usl_status usl_language_to_locale(uint32_t language_id, char* buffer, size_t capacity,
                                                        size_t* length);
UTIL_STRINGLOADER_API usl_status usl_language_to_locale16(uint32_t language_id, usl_char16* buffer, size_t capacity,
                                                          size_t* length);

/* Receives each trace record, its message in UTF-8. */
typedef void (*usl_trace_sink)(void* context, uint32_t level, const char* source_file, int32_t line,
                               const char* message);
/* Installs sink (context is passed back on every call); a null sink restores
   the default destination. Records arrive one at a time; the sink must not
   call usl_set_trace_sink. */
UTIL_STRINGLOADER_API usl_status usl_set_trace_sink(usl_trace_sink sink, void* context);

#ifdef __cplusplus
}
#endif

#endif /* UTIL_STRINGLOADER_C_H */
