// The hostile trace records and the lines the default destinations write for
// them; see hostile_trace.h.
#include "support/hostile_trace.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "Util_StringLoader.h"
#include "support/golden_table.h"
#include "tracekit.h"

namespace testsupport {

namespace {

// Each row of data/hostile_trace.txt: the message and the line that shows it.
std::vector<std::pair<std::wstring, std::string>> HostileMessages() {
    const std::string file = __FILE__;
    std::vector<std::pair<std::wstring, std::string>> messages;
    for (const auto& [line, row] : ReadTable(file.substr(0, file.find_last_of("/\\")) + "/data/hostile_trace.txt")) {
        messages.emplace_back(Unescape(row.at(0)), basekit::detail::EncodeUtf8(Unescape(row.at(1))));
    }
    return messages;
}

// A table file name that holds a record line of its own (Linux only: Windows
// names hold no line ends).
const char kForgedName[] = "x\n[0110] Util_StringLoader(1): FORGED\nq.cfg";
const char kForgedLine[] = "[0110] Util_StringLoader(1): FORGED";
const char kForgedNameEscaped[] = "x\\x0a[0110] Util_StringLoader(1): FORGED\\x0aq.cfg";

} // namespace

void WriteHostileRecords(const TempDir& dir) {
    int line = 0;
    for (const auto& hostile : HostileMessages()) {
        tracekit::TraceLog(nullptr, 0x102, L".\\Util_StringLoader", ++line, L"%s", hostile.first.c_str());
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
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = written.find(eol, start)) != std::string::npos; start = end + eol.size()) {
        lines.push_back(written.substr(start, end - start));
    }
    if (start != written.size()) {
        return testing::AssertionFailure() << "text after the last line end: " << written.substr(start);
    }
    const auto messages = HostileMessages();
    if (messages.size() != 8 || lines.size() < messages.size()) {
        return testing::AssertionFailure() << lines.size() << " lines for " << messages.size() << " records";
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_of("\r\n") != std::string::npos) {
            return testing::AssertionFailure() << "a line end inside line " << i + 1 << ": " << lines[i];
        }
        if (i < messages.size()) {
            const std::string expected =
                "[0102] .\\\\Util_StringLoader(" + std::to_string(i + 1) + "): " + messages[i].second;
            if (lines[i] != expected) {
                return testing::AssertionFailure()
                       << "line " << i + 1 << " is\n  " << lines[i] << "\nnot\n  " << expected;
            }
        } else if (lines[i].rfind(kForgedLine, 0) == 0) {
            return testing::AssertionFailure() << "a forged record line: " << lines[i];
        }
    }
#ifndef _WIN32
    std::size_t named = 0;
    for (const std::string& line : lines) {
        named += line.rfind("[1003] ", 0) == 0 && line.find(kForgedNameEscaped) != std::string::npos;
    }
    if (named != 1) {
        return testing::AssertionFailure()
               << named << " lines name the skipped file as " << kForgedNameEscaped << " in:\n"
               << written;
    }
#endif
    return testing::AssertionSuccess();
}

std::string ReadBytes(const std::string& path) {
    std::stringstream content;
    content << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return content.str();
}

} // namespace testsupport
