// TraceCapture; see trace_capture.h.
#include "support/trace_capture.h"

namespace testsupport {

TraceCapture::TraceCapture() {
    tracekit::SetTraceSink(&TraceCapture::Sink, this);
}

TraceCapture::~TraceCapture() {
    tracekit::SetTraceSink(nullptr, nullptr);
}

void TraceCapture::Sink(const tracekit::TraceRecord& record, void* context) {
    auto* self = static_cast<TraceCapture*>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_records.push_back({record.module, record.level, record.sourceFile ? record.sourceFile : L"", record.line,
                               record.message ? record.message : L""});
}

std::vector<CapturedRecord> TraceCapture::records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

std::vector<std::pair<unsigned, std::wstring>> TraceCapture::levelsAndMessages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<unsigned, std::wstring>> result;
    for (const auto& record : m_records) {
        result.emplace_back(record.level, record.message);
    }
    return result;
}

void TraceCapture::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}

} // namespace testsupport
