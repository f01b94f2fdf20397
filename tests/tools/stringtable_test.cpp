// The stringtable tool, run as a program on the sample tables in examples/res
// and on small tables written per test: what it reports for each fallback
// source, the coverage check and its exit status, the conversions, the
// registry path, usage errors and the alignment of wide characters.
#include <gtest/gtest.h>

#if defined(STRINGTABLE_EXE) && !defined(_WIN32)

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

const std::string kExamples = STRINGTABLE_EXAMPLES;
const std::string kTables = kExamples + "/res";

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the tool through the shell. The registry variable always names a file
// of the test's choosing (by default one that does not exist), so that the
// machine's own settings never leak in.
Result RunTool(const std::vector<std::string>& args, const std::string& registry = "/nonexistent/registry.reg",
               const std::string& workingDir = "") {
    static int counter = 0;
    const std::string errPath = fs::temp_directory_path() / ("stringtable_test_err_" + std::to_string(counter++));
    std::string command;
    if (!workingDir.empty()) {
        command += "cd " + Quote(workingDir) + " && ";
    }
    command += "VELMORA_TRACE= VELMORA_REGISTRY=" + Quote(registry) + " " + Quote(STRINGTABLE_EXE);
    for (const auto& arg : args) {
        command += " " + Quote(arg);
    }
    command += " 2>" + Quote(errPath);
    Result result{-1, "", ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return result;
    }
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, read);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.err = ReadFile(errPath);
    std::remove(errPath.c_str());
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The cells of a table row: the text between runs of two or more blanks.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t i = line.find_first_not_of(' ');
    while (i != std::string::npos && i < line.size()) {
        std::size_t end = line.find("  ", i);
        cells.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
        i = end == std::string::npos ? end : line.find_first_not_of(' ', end);
    }
    return cells;
}

// The cells of the row whose second cell is `key` (the KEY column of show).
std::vector<std::string> RowOf(const std::string& output, const std::string& key) {
    for (const auto& line : Lines(output)) {
        const auto cells = Cells(line);
        if (cells.size() >= 2 && cells[1] == key) {
            return cells;
        }
    }
    return {};
}

// Columns a terminal gives UTF-8 text, written independently of the tool:
// Hangul, CJK and fullwidth forms take two.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6);
        columns += wide ? 2 : 1;
        i += length;
    }
    return columns;
}

void CopyTables(const std::string& to, const std::vector<std::string>& names) {
    fs::create_directories(to);
    for (const auto& name : names) {
        fs::copy_file(kTables + "/" + name, to + "/" + name);
    }
}

TEST(StringtableCheckTest, ReportsExactlyTheDeliberateGapsOfTheSamples) {
    const Result result = RunTool({"check", kTables});
    EXPECT_EQ(result.status, 1) << result.err;
    std::vector<std::string> findings;
    for (const auto& line : Lines(result.out)) {
        if (line.find(": missing ") != std::string::npos || line.find(": empty ") != std::string::npos ||
            line.rfind("skipped ", 0) == 0) {
            findings.push_back(line);
        }
    }
    const std::vector<std::string> expected = {
        "it (it.cfg): missing IDS_SD_ARCHIVE_MAILBOX, lookups return \"Cannot load string:IDS_SD_ARCHIVE_MAILBOX\"",
        "fr_ca (fr_ca.cfg): empty IDS_EUQ_SETUP_SERVICE_NAME, lookups fall back to neutral fr",
    };
    EXPECT_EQ(findings, expected) << result.out;
    EXPECT_NE(result.out.find("14 languages, 1 missing, 1 empty, 0 skipped"), std::string::npos) << result.out;

    const Result json = RunTool({"check", "--json", kTables});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"summary\": {\"languages\": 14, \"missing\": 1, \"empty\": 1, \"skipped\": 0}"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"missing\": [{\"id\": 23, \"key\": \"IDS_SD_ARCHIVE_MAILBOX\"}]"), std::string::npos);
    EXPECT_NE(json.out.find("\"empty\": [{\"id\": 19, \"key\": \"IDS_EUQ_SETUP_SERVICE_NAME\", \"fallback\": "
                            "\"neutral\", \"from\": 12}]"),
              std::string::npos);
    EXPECT_NE(json.out.find("\"ok\": false"), std::string::npos);
}

TEST(StringtableCheckTest, PassesOnCompleteTablesAndNamesSkippedFiles) {
    TempDir dir;
    CopyTables(dir.path(), {"en.cfg", "ja.cfg"});
    testsupport::WriteTextFile(dir.file("readme.cfg"), L"[Strings]\n");
    testsupport::WriteTextFile(dir.file("a.cfg"), L"[Strings]\n");
    const Result result = RunTool({"check", dir.path()});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("skipped readme.cfg: the name does not start with a known language code"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("skipped a.cfg: the name before .cfg has fewer than two characters"), std::string::npos);
    EXPECT_NE(result.out.find("2 languages, 0 missing, 0 empty, 2 skipped"), std::string::npos);
    EXPECT_EQ(result.err, "") << "no trace output without --trace";
}

TEST(StringtableCheckTest, FailsWhenAFileHasNoStringsSectionOrNothingLoads) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("de.cfg"), L"[Other]\nIDS_SPAM_FOLDER_NAME=Spam\n");
    const Result result = RunTool({"check", dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(RowOf(result.out, "0x0007"), (std::vector<std::string>{"de", "0x0007", "de.cfg", "0", "0", "24"}));

    TempDir empty;
    const Result none = RunTool({"check", empty.path()});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("no string tables found"), std::string::npos) << none.out;
}

TEST(StringtableShowTest, NamesTheSourceOfEveryFallbackStep) {
    struct Row {
        const char* locale;
        const char* key;
        const char* source;
        const char* text;
    };
    const Row rows[] = {
        {"zh_tw", "IDS_SPAM_FOLDER_NAME", "exact", "垃圾郵件"},
        {"fr_ca", "IDS_EUQ_SETUP_SERVICE_NAME", "neutral fr",
         "Service de configuration de la quarantaine des "
         "utilisateurs finaux"},
        {"en_us", "IDS_SPAM_FOLDER_NAME", "neutral en", "Spam Mail"},
        // No neutral Portuguese table is loaded: English answers.
        {"pt", "IDS_INBOX_FOLDER_NAME", "english en", "Inbox"},
        // Hong Kong Chinese: the zh_tw and zh_cn tables are siblings, never consulted.
        {"0x0c04", "IDS_SPAM_FOLDER_NAME", "english en", "Spam Mail"},
        {"it", "IDS_SD_ARCHIVE_MAILBOX", "placeholder", "Cannot load string:IDS_SD_ARCHIVE_MAILBOX"},
        {"it", "IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL", "exact",
         "Esempio: nome@example.com o *@example.com"},
    };
    for (const Row& row : rows) {
        const Result result = RunTool({"show", kTables, row.locale});
        ASSERT_EQ(result.status, 0) << row.locale << ": " << result.err;
        const auto cells = RowOf(result.out, row.key);
        ASSERT_EQ(cells.size(), 4u) << row.locale << " " << row.key << "\n" << result.out;
        EXPECT_EQ(cells[2], row.source) << row.locale << " " << row.key;
        EXPECT_EQ(cells[3], row.text) << row.locale << " " << row.key;
    }
}

TEST(StringtableShowTest, ALoadedNeutralTableEndsTheSearchEvenWithoutTheString) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("en.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=Spam\n");
    testsupport::WriteTextFile(dir.file("zh.cfg"), L"[Strings]\nIDS_SPAM_FOLDER_NAME=\n",
                               testsupport::Encoding::Utf16LeBom);
    const Result result = RunTool({"show", dir.path(), "zh_cn"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(RowOf(result.out, "IDS_SPAM_FOLDER_NAME"),
              (std::vector<std::string>{"14", "IDS_SPAM_FOLDER_NAME", "none"}));
    EXPECT_NE(result.out.find("zh_cn (0x0804): not loaded"), std::string::npos) << result.out;
}

TEST(StringtableShowTest, ListsEveryLoadedLanguageAndWritesJson) {
    const Result all = RunTool({"show", kTables});
    ASSERT_EQ(all.status, 0);
    std::size_t rows = 0;
    for (const auto& line : Lines(all.out)) {
        rows += Cells(line).size() >= 5 && line.rfind("LOCALE", 0) != 0 ? 1 : 0;
    }
    EXPECT_EQ(rows, 14u * 24u);

    const Result json = RunTool({"show", kTables, "fr_ca", "--json"});
    ASSERT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("{\"locale\": \"fr_ca\", \"langid\": 3084, \"id\": 19, \"key\": "
                            "\"IDS_EUQ_SETUP_SERVICE_NAME\", \"source\": \"neutral\", \"from\": 12, \"text\": "
                            "\"Service de configuration de la quarantaine des utilisateurs finaux\"}"),
              std::string::npos)
        << json.out;
}

TEST(StringtableShowTest, CutsTextsToTheWidthCountingWideCharactersTwice) {
    const Result result = RunTool({"show", kTables, "ja", "--width", "80"});
    ASSERT_EQ(result.status, 0);
    std::size_t cut = 0;
    for (const auto& line : Lines(result.out)) {
        if (line.find("IDS_") == std::string::npos) {
            continue;
        }
        EXPECT_LE(Columns(line), 80u) << line;
        if (line.size() >= 3 && line.compare(line.size() - 3, 3, "...") == 0) {
            ++cut;
            EXPECT_GE(Columns(line), 79u) << "a cut row uses the room it has: " << line;
        }
    }
    EXPECT_GT(cut, 0u);
}

TEST(StringtableConversionTest, LocaleAndLangidAlignWideNames) {
    const Result locale = RunTool({"locale", "zh_tw", "中文", "fr-ca"});
    EXPECT_EQ(locale.status, 1) << "one name does not convert";
    EXPECT_EQ(Lines(locale.out), (std::vector<std::string>{
                                     "NAME   LANGID  DECIMAL  BACK",
                                     "zh_tw  0x0404     1028  zh_tw",
                                     "中文   -             -  (no such locale)",
                                     "fr-ca  0x0c0c     3084  fr_ca",
                                 }));

    const Result langid = RunTool({"langid", "0x0c0c", "1028", "0x00010409"});
    EXPECT_EQ(langid.status, 0) << langid.err;
    EXPECT_EQ(Lines(langid.out), (std::vector<std::string>{
                                     "LANGID   DECIMAL  LOCALE",
                                     "0x0c0c      3084  fr_ca",
                                     "0x0404      1028  zh_tw",
                                     "0x10409    66569  en_us",
                                 }));
    EXPECT_EQ(RunTool({"langid", "0x26"}).status, 1);
}

TEST(StringtableWhichTest, FindsTheLowestLanguageListingTheText) {
    struct Row {
        const char* stringID;
        const char* text;
        const char* answer;
        int status;
    };
    const Row rows[] = {
        {"21", "Courriels reçus", "0x0c0c  fr_ca", 0},
        {"IDS_INBOX_FOLDER_NAME_LIST", "Boîte de réception", "0x000c  fr", 0}, // fr and fr_ca list it; fr is lower
        {"21", "受信箱", "0x0011  ja", 0},
        {"14", "Spam", "0x0009  en  (no table lists the text; this is the default language)", 1},
    };
    for (const Row& row : rows) {
        const Result result = RunTool({"which", "--dir", kTables, row.stringID, row.text});
        EXPECT_EQ(result.status, row.status) << row.text;
        EXPECT_EQ(result.out, std::string(row.answer) + "\n") << row.text;
    }
}

TEST(StringtableRegistryTest, LoadsTheDirectoryAndDefaultLanguageTheRegistryNames) {
    TempDir home;
    CopyTables(home.path() + "/EUQ/res", {"en.cfg", "zh_tw.cfg", "zh_cn.cfg"});
    const std::string registry = home.file("registry.reg");
    testsupport::WriteTextFile(registry,
                               L"Windows Registry Editor Version 5.00\r\n\r\n"
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n"
                               L"\"HomeDir\"=\"" +
                                   testsupport::Widen(home.path()) +
                                   L"\"\r\n"
                                   L"\"EUQDefaultLangID\"=dword:00000404\r\n",
                               testsupport::Encoding::Utf16LeBom);
    const Result show = RunTool({"show", "--registry", "zh_cn"}, registry);
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("default language (EUQDefaultLangID): 0x0404 zh_tw"), std::string::npos) << show.out;
    EXPECT_EQ(RowOf(show.out, "IDS_SPAM_FOLDER_NAME"),
              (std::vector<std::string>{"14", "IDS_SPAM_FOLDER_NAME", "exact", "垃圾邮件"}));
    EXPECT_EQ(RunTool({"check", "--registry"}, registry).status, 0);
    EXPECT_EQ(RunTool({"which", "14", "Junk"}, registry).out, "0x0404  zh_tw  (no table lists the text; this is the "
                                                              "default language)\n");

    // The sample registry file names the current directory as HomeDir.
    const Result sample = RunTool({"show", "--registry", "zh_cn"}, kExamples + "/registry.reg", home.path());
    EXPECT_EQ(sample.status, 0) << sample.err;
    EXPECT_NE(sample.out.find("default language (EUQDefaultLangID): 0x0804 zh_cn"), std::string::npos);

    const Result missing = RunTool({"check", "--registry"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("the registry names no string-table directory"), std::string::npos) << missing.err;
}

TEST(StringtableUsageTest, BadArgumentsExitWithStatusTwoAndSayWhy) {
    struct Row {
        std::vector<std::string> args;
        const char* message;
    };
    const Row rows[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"show"}, "show: expected DIR [LOCALE]"},
        {{"show", kTables, "xx"}, "unknown locale 'xx'"},
        {{"show", kTables, "0x0400"}, "'0x0400' is not a language ID"},
        {{"show", "/nonexistent/dir"}, "'/nonexistent/dir' is not a directory"},
        {{"show", "--registry", kTables, "fr"}, "show: expected [LOCALE] with --registry"},
        {{"check", "--dir", kTables}, "--dir does not apply to check"},
        {{"check", kTables, "--width", "80"}, "--width does not apply to check"},
        {{"show", kTables, "--width"}, "--width needs a number of columns"},
        {{"langid", "0x"}, "'0x' is not a language ID"},
        {{"langid", "99999999999"}, "'99999999999' is not a language ID"},
        {{"langid", "--", "-5"}, "'-5' is not a language ID"},
        {{"locale", "--json", "en"}, "--json does not apply to locale"},
        {{"which", "IDS_NO_SUCH_KEY", "x", "--dir", kTables},
         "'IDS_NO_SUCH_KEY' is neither a string ID nor a key name"},
        {{"which", "--dir", kTables, "--registry", "1", "x"}, "give --dir or --registry, not both"},
        {{"--bogus"}, "unknown option '--bogus'"},
    };
    for (const Row& row : rows) {
        const Result result = RunTool(row.args);
        EXPECT_EQ(result.status, 2) << row.message;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "") << row.message;
    }
    const Result help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("stringtable check DIR"), std::string::npos);
}

TEST(StringtableTraceTest, PrintsTheLibrarysRecordsOnlyWhenAsked) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("readme.cfg"), L"[Strings]\n");
    const Result traced = RunTool({"check", "--trace", dir.path()});
    EXPECT_NE(traced.err.find("[1003] .\\Util_StringLoader("), std::string::npos) << traced.err;
    EXPECT_NE(traced.err.find("Invalid string table file readme.cfg, skip file"), std::string::npos);
    EXPECT_NE(traced.out.find("skipped readme.cfg"), std::string::npos) << "the sink still sees the records";
    EXPECT_EQ(RunTool({"check", dir.path()}).err, "");
}

} // namespace

#else

TEST(StringtableTest, NeedsTheToolBuiltForThisPlatform) {
    GTEST_SKIP() << "the stringtable tool is built only on POSIX hosts with UTIL_STRINGLOADER_BUILD_TOOLS";
}

#endif
