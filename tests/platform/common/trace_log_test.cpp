// The trace sink: records arrive fully formatted with their fields, from every
// thread, and a removed sink receives nothing more.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

TEST(TraceLogTest, SinkReceivesEveryFormattedRecordUntilRemoved) {
    int module = 0;
    testsupport::TraceCapture trace;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&module] {
            for (int i = 0; i < 250; ++i) {
                tracekit::TraceLog(&module, 0x1003, L".\\Util_StringLoader", 77, L"key %s, code: %d", L"SOFT\\X", 2);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(trace.levelsAndMessages(), decltype(trace.levelsAndMessages())(1000, {0x1003, L"key SOFT\\X, code: 2"}));
    const auto record = trace.records().back();
    EXPECT_TRUE(record.module == &module && record.sourceFile == L".\\Util_StringLoader" && record.line == 77);

    std::vector<unsigned> levels;
    tracekit::SetTraceSink(
        [](const tracekit::TraceRecord& r, void* to) { static_cast<std::vector<unsigned>*>(to)->push_back(r.level); },
        &levels);
    tracekit::TraceLog(nullptr, 0x110, L"f", 1, L"one");
    tracekit::SetTraceSink(nullptr, nullptr);
    tracekit::TraceLog(nullptr, 0x111, L"f", 2, L"two");
    EXPECT_EQ(levels, std::vector<unsigned>{0x110});
}

} // namespace
