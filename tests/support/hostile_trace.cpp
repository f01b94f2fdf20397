// The hostile trace records and the lines the default destinations write for
// them; see hostile_trace.h.
#include "support/hostile_trace.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "Util_StringLoader.h"
#include "tracekit.h"

namespace testsupport {

namespace {

struct Hostile {
    std::wstring message;
    std::string line; // the message as the line shows it
};

const std::vector<Hostile>& HostileMessages() {
    static const std::vector<Hostile> messages = {
        {L"ini path: /opt/\u00e9", "ini path: /opt/\xC3\xA9"},
        // A forged record after a line end; a backslash is doubled, so text cannot pass for an escape.
        {L"x\n[0110] .\\Util_StringLoader(1): FORGED\r\nq.cfg",
         "x\\x0a[0110] .\\\\Util_StringLoader(1): FORGED\\x0d\\x0aq.cfg"},
        {L"C:\\x0a\\u202e\\t\\", "C:\\\\x0a\\\\u202e\\\\t\\\\"},
        // C0 controls, DEL and a tab.
        {L"\x1b[31mred\a\b\x7f|\tend\x1f", "\\x1b[31mred\\x07\\x08\\x7f|\\tend\\x1f"},
        // C1 controls: U+0085 ends a line, U+009B starts a control sequence.
        {L"\x0080\x0085\x009b\x009f", "\\u0080\\u0085\\u009b\\u009f"},
        // Bidi marks, embeddings, overrides and isolates; line and paragraph separators.
        {L"\x200e\x200f\x061c|\x202a\x202b\x202c\x202d\x202e|\x2066\x2067\x2068\x2069|\x2028\x2029",
         "\\u200e\\u200f\\u061c|\\u202a\\u202b\\u202c\\u202d\\u202e|\\u2066\\u2067\\u2068\\u2069|\\u2028\\u2029"},
        // Their neighbours and other text pass as UTF-8.
        {L"\x00a0\x00e9\x061b\x200d\x2027\x202f\x2065\x206a\x4e2d\U0001F600",
         "\xC2\xA0\xC3\xA9\xD8\x9B\xE2\x80\x8D\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA\xE4\xB8\xAD\xF0\x9F\x98"
         "\x80"},
        // A lone surrogate: how a file name byte that is not UTF-8 arrives.
        {std::wstring(L"d") + wchar_t(0xDCE9) + L"j", "d\\udce9j"},
    };
    return messages;
}

// A table file name that holds a record line of its own (Linux only: Windows
// names hold no line ends).
const char kForgedName[] = "x\n[0110] Util_StringLoader(1): FORGED\nq.cfg";
const char kForgedLine[] = "[0110] Util_StringLoader(1): FORGED";
const char kForgedNameEscaped[] = "x\\x0a[0110] Util_StringLoader(1): FORGED\\x0aq.cfg";

} // namespace

void SetTraceDestination(const std::string& value) {
#ifdef _WIN32
    _putenv_s("VELMORA_TRACE", value.c_str());
#else
    setenv("VELMORA_TRACE", value.c_str(), 1);
#endif
}

void WriteHostileRecords(const TempDir& dir) {
    int line = 0;
    for (const Hostile& hostile : HostileMessages()) {
        tracekit::TraceLog(nullptr, 0x102, L".\\Util_StringLoader", ++line, L"%s", hostile.message.c_str());
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
    const auto& messages = HostileMessages();
    if (lines.size() < messages.size()) {
        return testing::AssertionFailure() << lines.size() << " lines for " << messages.size() << " records";
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_of("\r\n") != std::string::npos) {
            return testing::AssertionFailure() << "a line end inside line " << i + 1 << ": " << lines[i];
        }
        if (i < messages.size()) {
            const std::string expected =
                "[0102] .\\\\Util_StringLoader(" + std::to_string(i + 1) + "): " + messages[i].line;
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
