// VELMORA_TRACE=stderr: standard error receives one escaped line per record,
// the same lines as a trace file (trace_log_test). The destination is chosen at
// the process's first record, hence an executable of its own. Standard error
// is pointed at a file for the test and restored after it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#else
#include <unistd.h>
#endif

#include "support/hostile_trace.h"
#include "support/test_files.h"

namespace {

TEST(TraceDefaultDestinationTest, StandardErrorGetsOneEscapedLinePerRecord) {
    testsupport::TempDir dir;
    const std::string path = dir.file("stderr.txt");
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    ASSERT_GE(saved, 0);
    ASSERT_NE(std::freopen(path.c_str(), "w", stderr), nullptr);

    testsupport::SetEnv("VELMORA_TRACE", "stderr"); // read at the first record only
    testsupport::WriteHostileRecords(dir);

    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    EXPECT_TRUE(testsupport::HoldsHostileRecords(testsupport::ReadBytes(path)));
}

} // namespace
