// The trace sink: records arrive fully formatted with their fields, from every
// thread, and once it is removed the default destination has them again. Without a sink, the default
// destination: VELMORA_TRACE names a file that receives one escaped line per
// record; it is read once, at the first record of the process, so that test
// comes first (trace_stderr_test checks standard error).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/hostile_trace.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

TEST(TraceDefaultDestinationTest, FileGetsOneEscapedLinePerRecordAndASinkTheRawText) {
    testsupport::TempDir dir;
    const std::string path = dir.file("trace.log");
    testsupport::SetEnv("VELMORA_TRACE", path); // read at the first record only
    testsupport::WriteHostileRecords(dir);
    const std::string written = testsupport::ReadBytes(path);
    EXPECT_TRUE(testsupport::HoldsHostileRecords(written));

    const std::wstring forged = L"x\n[0110] .\\Util_StringLoader(1): FORGED\x1b[2J\x2028";
    {
        testsupport::TraceCapture trace;
        tracekit::TraceLog(nullptr, 0x102, L"f", 1, L"%s", forged.c_str());
        const std::vector<std::pair<unsigned, std::wstring>> raw{{0x102, forged}};
        EXPECT_EQ(trace.levelsAndMessages(), raw);
    }
    EXPECT_EQ(testsupport::ReadBytes(path), written);      // a sink takes the record instead of the file
    tracekit::TraceLog(nullptr, 0x111, L"f", 2, L"after"); // and once removed, the file again
    EXPECT_EQ(testsupport::ReadBytes(path).find("[0111] f(2): after"), written.size());
}

TEST(TraceLogTest, SinkReceivesEveryFormattedRecordFromEveryThread) {
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
}

} // namespace
