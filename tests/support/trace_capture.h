// Captures trace records through tracekit::SetTraceSink for the lifetime of
// the object, so tests can check records by level and exact text. tracekit
// calls the sink under its own lock; read the records once the threads that
// log have been joined.
#ifndef UTIL_STRINGLOADER_TRACE_CAPTURE_H
#define UTIL_STRINGLOADER_TRACE_CAPTURE_H

#include <string>
#include <utility>
#include <vector>

#include "tracekit.h"

namespace testsupport {

struct CapturedRecord {
    const void* module;
    unsigned level;
    std::wstring sourceFile;
    int line;
    std::wstring message;
};

class TraceCapture {
public:
    TraceCapture() { tracekit::SetTraceSink(&Sink, this); }
    ~TraceCapture() { tracekit::SetTraceSink(nullptr, nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::vector<CapturedRecord>& records() const { return m_records; }
    // (level, message) pairs, the shape most assertions want.
    std::vector<std::pair<unsigned, std::wstring>> levelsAndMessages() const;

private:
    static void Sink(const tracekit::TraceRecord& record, void* context);
    std::vector<CapturedRecord> m_records;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TRACE_CAPTURE_H
