// The default trace destination: VELMORA_TRACE names a file that receives one
// line per record. Its own executable, because the variable is read once, at
// the first record of the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_files.h"
#include "tracekit.h"

namespace {

TEST(TraceDefaultDestinationTest, FileNamedByEnvironmentGetsOneLinePerRecord) {
    testsupport::TempDir dir;
    const std::string path = dir.file("trace.log");
#if defined(_WIN32)
    _putenv_s("VELMORA_TRACE", path.c_str());
#else
    setenv("VELMORA_TRACE", path.c_str(), 1);
#endif
    tracekit::TraceLog(nullptr, 0x110, L".\\Util_StringLoader", 12, L"ini path: %s", L"/opt/\u00e9");
    tracekit::TraceLog(nullptr, 0x1003, L".\\Util_StringLoader", 13, L"code: %d", 5);

    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
#if defined(_WIN32)
    // The file is written in text mode, so lines end in CR LF on Windows.
    const std::string eol = "\r\n";
#else
    const std::string eol = "\n";
#endif
    EXPECT_EQ(content.str(), "[0110] .\\Util_StringLoader(12): ini path: /opt/\xC3\xA9" + eol +
                                 "[1003] .\\Util_StringLoader(13): code: 5" + eol);
}

} // namespace
