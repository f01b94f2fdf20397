// The tracekit contract: one call that writes a trace record, and a sink that
// callers and tests install to receive the records. Without a sink, records go
// where the VELMORA_TRACE environment variable says (read once, at the first
// record): unset or empty drops them, "stderr" writes one line per record to
// standard error, anything else names a file that lines are appended to. A
// line is "[LEVEL] SOURCE(LINE): MESSAGE" in UTF-8, with control, bidi and
// line-separator characters escaped ("\x1b", "\t", "\u0085", "\u202e"; a
// file name byte that is not UTF-8 as "\udce9") and a backslash doubled. A
// sink receives the texts unescaped.
#ifndef TRACEKIT_H
#define TRACEKIT_H

#include "util_stringloader_export.h"

namespace tracekit {

struct TraceRecord {
    const void* module;        // instance handle of the module that wrote the record
    unsigned level;            // 0x110 entry, 0x111 exit, 0x102 string read, 0x1003 survived failure
    const wchar_t* sourceFile; // as the caller passed it
    int line;
    const wchar_t* message; // the fully formatted text
};

using TraceSink = void (*)(const TraceRecord& record, void* context);

// Installs `sink` (with `context` passed back on every call); nullptr restores
// the default destination. Safe to call from any thread. A sink is called with
// an internal lock held, one record at a time; it must not call SetTraceSink.
UTIL_STRINGLOADER_API void SetTraceSink(TraceSink sink, void* context);

// Formats and delivers one record. The format follows basekit::WideString::Format
// ("%s" is a wide string on every platform). When no sink is installed and the
// default destination drops records, the call returns before formatting.
UTIL_STRINGLOADER_API void TraceLog(const void* module, unsigned level, const wchar_t* sourceFile, int line,
                                    const wchar_t* format, ...);

} // namespace tracekit

#endif // TRACEKIT_H
