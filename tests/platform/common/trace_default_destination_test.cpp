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

} // namespace
