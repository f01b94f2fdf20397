// The trace sink: records arrive fully formatted with their fields, a removed
// sink receives nothing more, and records from several threads all arrive.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

TEST(TraceLogTest, SinkReceivesFormattedRecords) {
    int module = 0;
    testsupport::TraceCapture trace;
    tracekit::TraceLog(&module, 0x1003, L".\\Util_StringLoader", 77, L"Cannot read key %s, code: %d", L"SOFTWARE\\X",
                       2);
    const auto records = trace.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].module, &module);
    EXPECT_EQ(records[0].level, 0x1003u);
    EXPECT_EQ(records[0].sourceFile, L".\\Util_StringLoader");
    EXPECT_EQ(records[0].line, 77);
    EXPECT_EQ(records[0].message, L"Cannot read key SOFTWARE\\X, code: 2");
}

TEST(TraceLogTest, RemovedSinkHearsNothing) {
    std::vector<unsigned> levels;
    tracekit::SetTraceSink([](const tracekit::TraceRecord& record,
                              void* context) { static_cast<std::vector<unsigned>*>(context)->push_back(record.level); },
                           &levels);
    tracekit::TraceLog(nullptr, 0x110, L"f", 1, L"one");
    tracekit::SetTraceSink(nullptr, nullptr);
    tracekit::TraceLog(nullptr, 0x111, L"f", 2, L"two");
    EXPECT_EQ(levels, std::vector<unsigned>{0x110});
}

TEST(TraceLogTest, RecordsFromManyThreadsAllArrive) {
    testsupport::TraceCapture trace;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i) {
                tracekit::TraceLog(nullptr, 0x102, L"f", t, L"ID: %d, Str:%s", i, L"x");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(trace.records().size(), 1000u);
}

} // namespace
