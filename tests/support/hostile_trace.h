// Trace records whose texts would split a line or steer a terminal, for the
// tests of the default trace destinations. VELMORA_TRACE is read once per
// process, so each destination (a file, standard error) has its own test
// executable, and both check the same records.
#ifndef UTIL_STRINGLOADER_HOSTILE_TRACE_H
#define UTIL_STRINGLOADER_HOSTILE_TRACE_H

#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace testsupport {

// Writes the hostile records with tracekit::TraceLog; on Linux it then loads
// `dir` after giving it a table file whose name holds a forged record line.
void WriteHostileRecords(const TempDir& dir);

// Whether `written` (what a default destination received, with the line ends
// that the platform's text mode writes) holds one line per record, each
// escaped as expected.
testing::AssertionResult HoldsHostileRecords(const std::string& written);

// A file's bytes.
std::string ReadBytes(const std::string& path);

} // namespace testsupport

#endif // UTIL_STRINGLOADER_HOSTILE_TRACE_H
