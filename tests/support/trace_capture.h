// Captures trace records through tracekit::SetTraceSink for the lifetime of
// the object, so tests can check records by level and exact text.
#ifndef UTIL_STRINGLOADER_TRACE_CAPTURE_H
#define UTIL_STRINGLOADER_TRACE_CAPTURE_H

#include <mutex>
#include <string>
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
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<CapturedRecord> records() const;
    // (level, message) pairs, the shape most assertions want.
    std::vector<std::pair<unsigned, std::wstring>> levelsAndMessages() const;
    void clear();

private:
    static void Sink(const tracekit::TraceRecord& record, void* context);
    mutable std::mutex m_mutex;
    std::vector<CapturedRecord> m_records;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TRACE_CAPTURE_H
