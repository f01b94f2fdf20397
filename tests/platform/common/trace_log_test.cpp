// The trace sink: records arrive fully formatted with their fields, from every
// thread, and a removed sink receives nothing more. Without a sink, the default
// destination: VELMORA_TRACE names a file that receives one line per record; it
// is read once, at the first record of the process, so that test comes first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"
#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

TEST(TraceDefaultDestinationTest, FileNamedByEnvironmentGetsOneLinePerRecord) {
    testsupport::TempDir dir;
    const std::string path = dir.file("trace.log");
#if defined(_WIN32)
    _putenv_s("VELMORA_TRACE", path.c_str());
    const std::string eol = "\r\n"; // the file is written in text mode
#else
    setenv("VELMORA_TRACE", path.c_str(), 1);
    const std::string eol = "\n";
#endif
    tracekit::TraceLog(nullptr, 0x110, L".\\Util_StringLoader", 12, L"ini path: %s", L"/opt/\u00e9");
    tracekit::TraceLog(nullptr, 0x1003, L".\\Util_StringLoader", 13, L"code: %d", 5);
    std::stringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(content.str(), "[0110] .\\Util_StringLoader(12): ini path: /opt/\xC3\xA9" + eol +
                                 "[1003] .\\Util_StringLoader(13): code: 5" + eol);
}

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
