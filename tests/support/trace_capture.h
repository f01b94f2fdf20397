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
    TraceCapture() {
        tracekit::SetTraceSink(
            [](const tracekit::TraceRecord& r, void* self) {
                static_cast<TraceCapture*>(self)->m_records.push_back(
                    {r.module, r.level, r.sourceFile ? r.sourceFile : L"", r.line, r.message ? r.message : L""});
            },
            this);
    }
    ~TraceCapture() { tracekit::SetTraceSink(nullptr, nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::vector<CapturedRecord>& records() const { return m_records; }
    // (level, message) pairs, the shape most assertions want.
    std::vector<std::pair<unsigned, std::wstring>> levelsAndMessages() const {
        std::vector<std::pair<unsigned, std::wstring>> result;
        for (const auto& record : m_records) {
            result.emplace_back(record.level, record.message);
        }
        return result;
    }

private:
    std::vector<CapturedRecord> m_records;
};

} // namespace testsupport

#endif // UTIL_STRINGLOADER_TRACE_CAPTURE_H
