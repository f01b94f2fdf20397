// The stringtable tool, run as a program on the sample tables in examples/res
// and on small tables written per test: the source of each fallback step, the
// coverage check and its exit status, the conversions, the registry path,
// usage errors, tracing and the alignment of wide characters.
#include <gtest/gtest.h>

#if defined(STRINGTABLE_EXE) && !defined(_WIN32)

#include <algorithm>
#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "support/test_files.h"

namespace {

// A shell line run in a scratch directory where `st` is the tool, $X the
// examples directory, and VELMORA_REGISTRY names a missing file unless the line
// exports another, so that the machine's own settings never leak in; the exit
// status it must give, and tab-separated fragments its standard output and
// error must hold. A fragment writes each gap of two or more blanks (a column
// break) as '|'; one that starts with '=' is the whole output, blanks kept.
struct Case {
    const char* line;
    int status;
    const char* out;
    const char* err = "=";
};

std::string Expect(const Case& c, const std::string& cwd) {
    const auto quote = [](const std::string& text) { return "\"" + text + "\""; };
    const std::string command = "cd " + quote(cwd) + " && export X=" + quote(STRINGTABLE_EXAMPLES) +
                                " VELMORA_TRACE= VELMORA_REGISTRY=/no/r.reg && st() { " + quote(STRINGTABLE_EXE) +
                                " \"$@\"; } && e=$(mktemp) && { " + c.line + "; } 2>$e; printf '\\1%d\\1' $?; cat $e";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string all;
    for (int ch; pipe != nullptr && (ch = std::fgetc(pipe.get())) != EOF;) {
        all += static_cast<char>(ch);
    }
    const std::size_t mark = all.find('\1'), end = all.find('\1', mark + 1);
    const std::string out = all.substr(0, mark), err = all.substr(end + 1);
    EXPECT_EQ(all.substr(mark + 1, end - mark - 1), std::to_string(c.status)) << c.line << "\n" << out << err;
    for (const auto& [text, wants] : {std::pair{out, c.out}, {err, c.err}}) {
        std::istringstream fragments(wants);
        for (std::string want; std::getline(fragments, want, '\t');) {
            const bool whole = want.rfind('=', 0) == 0;
            const std::string seen = whole ? text : std::regex_replace(text, std::regex(" {2,}"), "|");
            EXPECT_TRUE(whole ? seen == want.substr(1) : seen.find(want) != seen.npos) << c.line << "\n"
                                                                                       << text << "\nlacks: " << want;
        }
    }
    return out;
}

TEST(StringtableTest, CommandsOnSampleAndWrittenTables) {
    testsupport::TempDir home; // EUQ/res and res are the sample tables
    // clang-format off
    Expect({R"(mkdir EUQ a d && ln -s "$X"/res EUQ/res && ln -s EUQ/res res && ln -s "$X"/registry.reg sample.reg &&
        cd d && f='[Strings]\nIDS_SPAM_FOLDER_NAME=%s\n' && printf "$f" Spam >en.cfg && printf "$f" >zh.cfg &&
        printf '[Other]\nIDS_SPAM_FOLDER_NAME=Spam\n' >de.cfg && cd ../a && cp ../res/en.cfg ../res/ja.cfg . &&
        echo [Strings] >a.cfg && cp a.cfg readme.cfg && cd .. && printf 'REGEDIT4\n[HKEY_LOCAL_MACHINE\\%b' \
        'SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\n"HomeDir"="'"$PWD"'"\n"EUQDefaultLangID"=dword:404\n' >r.reg)",
        0, ""}, home.path());
    const Case cases[] = {
        {"st check res", 1, "fr_ca|0x0c0c|fr_ca.cfg|23|1|0\n\nit (it.cfg): missing IDS_SD_ARCHIVE_MAILBOX, lookups "
            "return \"Cannot load string:IDS_SD_ARCHIVE_MAILBOX\"\nfr_ca (fr_ca.cfg): empty IDS_EUQ_SETUP_SERVICE_NAME"
            ", lookups fall back to neutral fr\n\n14 languages, 1 missing, 1 empty, 0 skipped\n"},
        {"st check --json res", 1, R"("missing": [{"id": 23, "key": "IDS_SD_ARCHIVE_MAILBOX"}])" "\t"
            R"("empty": [{"id": 19, "key": "IDS_EUQ_SETUP_SERVICE_NAME", "fallback": "neutral", "from": 12}])" "\t"
            R"("summary": {"languages": 14, "missing": 1, "empty": 1, "skipped": 0},)" "\n|\"ok\": false\n"},
        {"st check a", 0, "skipped readme.cfg: the name does not start with a known language code\tskipped a.cfg: "
            "the name before .cfg has fewer than two characters\t\n2 languages, 0 missing, 0 empty, 2 skipped\n"},
        {"st check --trace a", 0, "skipped readme.cfg", "[1003] .\\Util_StringLoader(\tInvalid string table file"},
        {"st check d", 1, "\nde|0x0007|de.cfg|0|0|24\n"}, // no [Strings] section
        {"st check .", 1, "no string tables found"},
        {"st show res | grep -c '  IDS_'", 0, "=336\n"}, // every key of each of the 14 languages
        {"st show res zh_tw", 0, "|IDS_SPAM_FOLDER_NAME|exact|垃圾郵件\n"},
        {"st show res en_us", 0, "|IDS_SPAM_FOLDER_NAME|neutral en|Spam Mail\n"},
        {"st show res pt", 0, "|IDS_INBOX_FOLDER_NAME|english en|Inbox\n"}, // no neutral Portuguese table
        {"st show res 0x0c04", 0, "|IDS_SPAM_FOLDER_NAME|english en|Spam Mail\n"}, // zh_tw, zh_cn: siblings, not asked
        {"st show res it", 0, "|IDS_SD_ARCHIVE_MAILBOX|placeholder|Cannot load string:IDS_SD_ARCHIVE_MAILBOX\n\t"
            "|IDS_APPROVE_SENDER_FORM_UI_ADD_APPROVE_SENDER_EXAMPLE_LABEL|exact|Esempio: nome@example.com o *@"},
        {"st show res fr_ca --json", 0, R"({"locale": "fr_ca", "langid": 3084, "id": 19, "key": "IDS_EUQ_SETUP_)"
            R"(SERVICE_NAME", "source": "neutral", "from": 12, "text": "Service de configuration de la )"
            R"(quarantaine des utilisateurs finaux"})"},
        // A loaded neutral table ends the search even without the string.
        {"st show d zh_cn", 0, "zh_cn (0x0804): not loaded\t\n14|IDS_SPAM_FOLDER_NAME|none\n"},
        {"st locale zh_tw 中文 fr-ca", 1, "=NAME   LANGID  DECIMAL  BACK\nzh_tw  0x0404     1028  zh_tw\n"
                                         "中文   -             -  (no such locale)\nfr-ca  0x0c0c     3084  fr_ca\n"},
        {"st langid 0x0c0c 1028 0x00010409", 0, "=LANGID   DECIMAL  LOCALE\n0x0c0c      3084  fr_ca\n"
                                                "0x0404      1028  zh_tw\n0x10409    66569  en_us\n"},
        {"st langid 0x26", 1, "0x0026|38|(no such language)\n"},
        {"st which --dir res 21 'Courriels reçus'", 0, "=0x0c0c  fr_ca\n"},
        {"st which --dir res IDS_INBOX_FOLDER_NAME_LIST 'Boîte de réception'", 0, "=0x000c  fr\n"}, // fr_ca too
        {"st which --dir res 14 Spam", 1, "=0x0009  en  (no table lists the text; this is the default language)\n"},
        {"export VELMORA_REGISTRY=r.reg && st show --registry zh_cn", 0,
            "default language (EUQDefaultLangID): 0x0404 zh_tw\t\n14|IDS_SPAM_FOLDER_NAME|exact|垃圾邮件\n"},
        {"export VELMORA_REGISTRY=r.reg && st check --registry", 1, "14 languages, 1 missing, 1 empty, 0 skipped"},
        {"export VELMORA_REGISTRY=r.reg && st which 14 Junk", 1, "0x0404|zh_tw|(no table lists the text; this is the"},
        {"export VELMORA_REGISTRY=sample.reg && st show --registry zh_cn", 0, "(EUQDefaultLangID): 0x0804 zh_cn"},
        {"st --help", 0, "stringtable check DIR"},
        // Usage errors: status 2, nothing on standard output, the reason on standard error.
        {"st", 2, "=", "no command given"}, {"st nope", 2, "=", "unknown command 'nope'"},
        {"st --bogus", 2, "=", "unknown option '--bogus'"}, {"st show", 2, "=", "show: expected DIR [LOCALE]"},
        {"st show res xx", 2, "=", "unknown locale 'xx'"}, {"st show res 0x0400", 2, "=", "'0x0400' is not a"},
        {"st show /no", 2, "=", "'/no' is not a dir"}, {"st show --registry res fr", 2, "=", "[LOCALE] with --regis"},
        {"st show res --width", 2, "=", "--width needs a"}, {"st check --dir res", 2, "=", "--dir does not apply"},
        {"st check res --width 1", 2, "=", "--width does not"}, {"st locale --json en", 2, "=", "--json does not"},
        {"st langid 0x", 2, "=", "'0x' is not a"}, {"st langid 99999999999", 2, "=", "'99999999999' is not"},
        {"st langid -- -5", 2, "=", "'-5' is not a"}, {"st check --registry", 2, "=", "names no string-table"},
        {"st which NO x --dir res", 2, "=", "'NO' is neither"}, {"st which --dir . --registry 1 x", 2, "=", "not both"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Expect(c, home.path());
    }
    // Texts are cut to the width, wide characters counting twice; a cut row uses the room it has.
    std::istringstream lines(Expect({"st show res ja --width 80", 0, "...\n"}, home.path()));
    for (std::string line; std::getline(lines, line);) {
        const std::wstring text = testsupport::Widen(line); // CJK and fullwidth forms take two columns
        const auto columns = text.size() + std::count_if(text.begin(), text.end(), [](wchar_t c) {
                                 return (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xFF00 && c <= 0xFF60);
                             });
        EXPECT_LE(columns, 80u) << line;
        EXPECT_GE(line.size() > 3 && line.compare(line.size() - 3, 3, "...") == 0 ? columns : 79u, 79u) << line;
    }
}

} // namespace

#endif
