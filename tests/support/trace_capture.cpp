// TraceCapture; see trace_capture.h.
#include "support/trace_capture.h"

namespace testsupport {

void TraceCapture::Sink(const tracekit::TraceRecord& record, void* context) {
    static_cast<TraceCapture*>(context)->m_records.push_back({record.module, record.level,
                                                              record.sourceFile ? record.sourceFile : L"", record.line,
                                                              record.message ? record.message : L""});
}

std::vector<std::pair<unsigned, std::wstring>> TraceCapture::levelsAndMessages() const {
    std::vector<std::pair<unsigned, std::wstring>> result;
    for (const auto& record : m_records) {
        result.emplace_back(record.level, record.message);
    }
    return result;
}

} // namespace testsupport
