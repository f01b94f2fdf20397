// The stringtable tool, run as a program on the sample tables in examples/res
// and on small tables written by the first case: the cases and their expected
// output are in data/stringtable.txt (its header gives the format).
#include <gtest/gtest.h>

#if defined(STRINGTABLE_EXE) && !defined(_WIN32)

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden_table.h"
#include "support/test_files.h"

namespace {

struct Case {
    std::string line;
    int status = 0;
    std::vector<std::string> out, err; // fragments, escapes resolved
};

// Runs the case in `cwd` and checks its status and fragments; returns its standard output.
std::string Expect(const Case& c, const std::string& prelude, const std::string& cwd) {
    const auto quote = [](const std::string& text) { return "\"" + text + "\""; };
    const std::string command = "cd " + quote(cwd) + " && export X=" + quote(STRINGTABLE_EXAMPLES) +
                                " S=" + quote(STRINGTABLE_EXE) + " && " + prelude + " && e=$(mktemp) && { " + c.line +
                                "\n} 2>$e; printf '\\1%d\\1' $?; cat $e; rm -f $e";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string all;
    for (int ch; pipe != nullptr && (ch = std::fgetc(pipe.get())) != EOF;) {
        all += static_cast<char>(ch);
    }
    const std::size_t mark = all.find('\1'), end = all.find('\1', mark + 1);
    const std::string out = all.substr(0, mark), err = all.substr(end + 1);
    EXPECT_EQ(all.substr(mark + 1, end - mark - 1), std::to_string(c.status)) << c.line << "\n" << out << err;
    for (const auto& [text, wants] :
         {std::pair{out, c.out}, {err, c.err.empty() ? std::vector<std::string>{"="} : c.err}}) {
        for (const std::string& want : wants) {
            const bool whole = want.rfind('=', 0) == 0;
            const std::string seen = whole ? text : std::regex_replace(text, std::regex("  +"), "|"); // column breaks
            EXPECT_TRUE(whole ? seen == want.substr(1) : seen.find(want) != seen.npos) << c.line << "\n"
                                                                                       << text << "\nlacks: " << want;
        }
    }
    return out;
}

// The columns a terminal gives a line of the test data: CJK, fullwidth forms and
// the emoji used there take two, combining accents none.
std::size_t Width(const std::string& line) {
    std::size_t columns = 0;
    for (const wchar_t c : testsupport::Widen(line)) {
        const bool wide = (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xFF00 && c <= 0xFF60) || c == 0x2705 ||
                          (c >= 0x1F300 && c <= 0x1F6FF);
        columns += wide ? 2 : (c >= 0x300 && c <= 0x36F) ? 0 : 1;
    }
    return columns;
}

TEST(StringtableTest, CommandsOnSampleAndWrittenTables) {
    std::vector<Case> cases;
    std::string prelude = "true";
    std::ifstream data(std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/stringtable.txt");
    for (std::string line; std::getline(data, line);) {
        const std::string rest = line.size() > 2 ? line.substr(2) : "";
        if (line.rfind("% ", 0) == 0) {
            prelude += " && " + rest;
        } else if (line.rfind("$ ", 0) == 0 && (cases.empty() || cases.back().status >= 0)) {
            cases.push_back({rest, -1, {}, {}});
        } else if (line.rfind("$ ", 0) == 0) {
            cases.back().line += "\n" + rest;
        } else if (line.rfind("= ", 0) == 0) {
            cases.back().status = std::stoi(rest);
        } else if (line.rfind("> ", 0) == 0 || line.rfind("! ", 0) == 0) {
            (line[0] == '>' ? cases.back().out : cases.back().err)
                .push_back(basekit::detail::EncodeUtf8(testsupport::Unescape(rest)));
        }
    }
    ASSERT_GT(cases.size(), 60u) << "data/stringtable.txt not found";
    // The cases that run as nobody run a copy of the tool and the library in
    // the scratch directory, which nobody can reach wherever the build tree is.
    testsupport::TempDir home;
    testsupport::MakeDirectory(home.file("bin"));
    for (const auto& [from, to] :
         {std::pair{STRINGTABLE_EXE, "stringtable"}, {STRINGTABLE_LIBRARY, STRINGTABLE_SONAME}}) {
        std::filesystem::copy_file(from, home.file("bin/" + std::string(to)));
    }
    for (const Case& c : cases) {
        std::istringstream lines(Expect(c, prelude, home.path()));
        const std::size_t width = c.line.find("--width ");
        for (std::string line; c.status == 0 && width != c.line.npos && std::getline(lines, line);) {
            EXPECT_LE(Width(line), std::stoul(c.line.substr(width + 8))) << line;
            EXPECT_TRUE(line.find("... ") == line.npos && line.rfind("...") + 3 != line.size()) << line; // not cut
        }
    }
}

} // namespace

#endif
