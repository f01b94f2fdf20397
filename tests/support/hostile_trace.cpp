// The hostile trace records and the lines the default destinations write for
// them; see hostile_trace.h.
#include "support/hostile_trace.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Util_StringLoader.h"
#include "support/golden_table.h"
#include "tracekit.h"

namespace testsupport {

namespace {

// The rows of data/hostile_trace.txt: the message and the line that shows it.
std::vector<std::pair<std::string, std::vector<std::string>>> HostileRows() {
    const std::string file = __FILE__;
    return ReadTable(file.substr(0, file.find_last_of("/\\")) + "/data/hostile_trace.txt");
}

// A table file name that holds a record line of its own (Linux only: Windows
// names hold no line ends), and the skip record's line that shows it.
const char kForgedName[] = "x\n[0110] Util_StringLoader(1): FORGED\nq.cfg";
const char kForgedSkip[] = "Invalid string table file x\\x0a[0110] Util_StringLoader(1): FORGED\\x0aq.cfg, skip file\n";

} // namespace

void WriteHostileRecords(const TempDir& dir) {
    int line = 0;
    for (const auto& row : HostileRows()) {
        tracekit::TraceLog(nullptr, 0x102, L".\\Util_StringLoader", ++line, L"%s", Unescape(row.second.at(0)).c_str());
    }
#ifndef _WIN32
    WriteBytes(dir.file(kForgedName), "[x]\n");
    CUtilStringLoader loader;
    loader.LoadAllLanguageStringTable(dir.wpath().c_str());
#else
    (void)dir;
#endif
}

testing::AssertionResult HoldsHostileRecords(const std::string& written) {
#ifdef _WIN32
    const std::string eol = "\r\n";
#else
    const std::string eol = "\n";
#endif
    // The records come first, one line each; on Linux the load's records follow.
    std::string expected;
    int line = 0;
    for (const auto& row : HostileRows()) {
        expected += "[0102] .\\\\Util_StringLoader(" + std::to_string(++line) +
                    "): " + basekit::detail::EncodeUtf8(Unescape(row.second.at(1))) + eol;
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

std::string ReadBytes(const std::string& path) {
    std::stringstream content;
    content << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return content.str();
}

} // namespace testsupport
