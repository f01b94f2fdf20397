// tracekit: TraceLog, the installable sink, and the default destination chosen
// by VELMORA_TRACE. Records are formatted only when someone listens, so tracing
// costs one relaxed atomic load per call in a service that has it switched off.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/common/text_codec.h"
#include "platform/common/wide_format.h"
#include "tracekit.h"

namespace tracekit {

namespace {

struct SinkState {
    std::mutex mutex;
    TraceSink sink = nullptr;
    void* context = nullptr;
    std::atomic<bool> sinkInstalled{false};
};

SinkState& State() {
    static SinkState state;
    return state;
}

// Where records go when no sink is installed, decided once from VELMORA_TRACE.
// Each record is one line, its texts escaped (EncodeUtf8Line): a file name or a
// stored text can neither add a line that reads as a record nor send a terminal
// control sequence. A sink gets the texts as they are.
class DefaultDestination {
public:
    DefaultDestination() {
        const char* value = std::getenv("VELMORA_TRACE");
        if (value == nullptr || *value == '\0') {
            return;
        }
        if (std::strcmp(value, "stderr") == 0) {
            m_file = stderr;
        } else {
            m_file = std::fopen(value, "a");
            m_ownsFile = m_file != nullptr;
        }
    }
    ~DefaultDestination() {
        if (m_ownsFile) {
            std::fclose(m_file);
        }
    }
    DefaultDestination(const DefaultDestination&) = delete;
    DefaultDestination& operator=(const DefaultDestination&) = delete;

    bool Enabled() const { return m_file != nullptr; }
    void Write(const TraceRecord& record) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "[%04x] ", record.level);
        std::string line = prefix;
        line += basekit::detail::EncodeUtf8Line(record.sourceFile != nullptr ? record.sourceFile : L"");
        line += "(" + std::to_string(record.line) + "): ";
        line += basekit::detail::EncodeUtf8Line(record.message);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    }

private:
    std::FILE* m_file = nullptr;
    bool m_ownsFile = false;
};

DefaultDestination& Default() {
    static DefaultDestination destination;
    return destination;
}

} // namespace

void SetTraceSink(TraceSink sink, void* context) {
    SinkState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.sink = sink;
    state.context = context;
    state.sinkInstalled.store(sink != nullptr, std::memory_order_release);
}

void TraceLog(const void* module, unsigned level, const wchar_t* sourceFile, int line, const wchar_t* format, ...) {
    SinkState& state = State();
    if (!state.sinkInstalled.load(std::memory_order_acquire) && !Default().Enabled()) {
        return;
    }
    std::wstring message;
    va_list args;
    va_start(args, format);
    basekit::detail::AppendFormatV(message, format, args);
    va_end(args);
    const TraceRecord record{module, level, sourceFile, line, message.c_str()};

    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.sink != nullptr) {
        state.sink(record, state.context);
    } else if (Default().Enabled()) {
        Default().Write(record);
    }
}

} // namespace tracekit
