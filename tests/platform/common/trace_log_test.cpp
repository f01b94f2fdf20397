// The trace sink: records arrive fully formatted with their fields, from every
// thread, and once it is removed the default destination has them again.
// Without a sink, the default destination: VELMORA_TRACE names a file, or
// "stderr", that receives one escaped line per record. It is read once, at the
// first record of a process, so the file test comes first and standard error
// is checked in a child process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Util_StringLoader.h"
#include "support/golden_table.h"
#include "support/test_files.h"
#include "support/trace_capture.h"
#include "tracekit.h"

namespace {

// The rows of data/hostile_trace.txt: a message, and the line that shows it.
const auto kHostile = testsupport::ReadTable(std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) +
                                             "/data/hostile_trace.txt");
#ifdef _WIN32
const char kEol[] = "\r\n"; // what text mode writes for a line end
#else
const char kEol[] = "\n";
// A table file name that holds a record line of its own (Windows names hold no
// line ends), and the skip record's line that shows it.
const char kForgedName[] = "x\n[0110] Util_StringLoader(1): FORGED\nq.cfg";
const char kForgedSkip[] = "Invalid string table file x\\x0a[0110] Util_StringLoader(1): FORGED\\x0aq.cfg, skip file\n";
#endif

// Writes the hostile records; on Linux it then loads `dir` after giving it a
// table file whose name holds a forged record line.
void WriteHostileRecords([[maybe_unused]] const testsupport::TempDir& dir) {
    int line = 0;
    for (const auto& row : kHostile) {
        tracekit::TraceLog(nullptr, 0x102, L".\\Util_StringLoader", ++line, L"%s",
                           testsupport::Unescape(row.second.at(0)).c_str());
    }
#ifndef _WIN32
    testsupport::WriteBytes(dir.file(kForgedName), "[x]\n");
    CUtilStringLoader().LoadAllLanguageStringTable(dir.wpath().c_str());
#endif
}

// Whether `written` (what a default destination received) holds one line per
// record, each escaped as expected, and on Linux then the load's records.
testing::AssertionResult HoldsHostileRecords(const std::string& written) {
    std::string expected;
    int line = 0;
    for (const auto& row : kHostile) {
        expected += "[0102] .\\\\Util_StringLoader(" + std::to_string(++line) +
                    "): " + basekit::detail::EncodeUtf8(testsupport::Unescape(row.second.at(1))) + kEol;
    }
    const std::string rest = written.substr(std::min(expected.size(), written.size()));
#ifdef _WIN32
    const bool restHolds = rest.empty();
#else
    const bool restHolds = rest.find('\r') == std::string::npos && rest.find(kForgedSkip) != std::string::npos;
#endif
    if (line != 8 || written.compare(0, expected.size(), expected) != 0 || !restHolds) {
        return testing::AssertionFailure() << "written:\n"
                                           << written << "\nnot the " << line << " lines:\n"
                                           << expected;
    }
    return testing::AssertionSuccess();
}

TEST(TraceDefaultDestinationTest, FileGetsOneEscapedLinePerRecordAndASinkTheRawText) {
    testsupport::TempDir dir;
    const std::string path = dir.file("trace.log");
    testsupport::SetEnv("VELMORA_TRACE", path); // read at the first record only
    WriteHostileRecords(dir);
    const std::string written = testsupport::ReadBytes(path);
    EXPECT_TRUE(HoldsHostileRecords(written));

    const std::wstring forged = L"x\n[0110] .\\Util_StringLoader(1): FORGED\x1b[2J\x2028";
    {
        testsupport::TraceCapture trace;
        tracekit::TraceLog(nullptr, 0x102, L"f", 1, L"%s", forged.c_str());
        EXPECT_EQ(trace.levelsAndMessages(), (decltype(trace.levelsAndMessages()){{0x102, forged}}));
    }
    EXPECT_EQ(testsupport::ReadBytes(path), written);        // a sink takes the record instead of the file
    tracekit::TraceLog(nullptr, 0x11a, L"f", 2, L"after");   // and once removed, the file again (hex in lower case)
    tracekit::TraceLog(nullptr, 0x11a, nullptr, 3, L"none"); // no source file: an empty one
    EXPECT_EQ(testsupport::ReadBytes(path).substr(written.size()),
              std::string("[011a] f(2): after") + kEol + "[011a] (3): none" + kEol);
}

// The child runs this test alone (threadsafe style: a fresh process, also on
// Linux), points standard error at a file and reports the check on standard
// output and in its exit status.
TEST(TraceDefaultDestinationDeathTest, StandardErrorGetsOneEscapedLinePerRecord) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto result = testing::AssertionFailure() << "standard error not redirected";
            {
                testsupport::TempDir dir;
                if (std::freopen(dir.file("stderr.txt").c_str(), "w", stderr) != nullptr) {
                    testsupport::SetEnv("VELMORA_TRACE", "stderr");
                    WriteHostileRecords(dir);
                    std::fclose(stderr); // also lets the directory go on Windows
                    result = HoldsHostileRecords(testsupport::ReadBytes(dir.file("stderr.txt")));
                }
            }
            std::fputs(result.message(), stdout);
            std::exit(result ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
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
