// The stringtable tool, run as a program on the sample tables in examples/res
// and on small tables written per test: the source of each fallback step, the
// coverage check and its explanations, escaping of hostile names and texts,
// JSON read back by a real parser, exit status on trouble, the conversions,
// the registry path, layout at a given width, and "convert".
#include <gtest/gtest.h>

#if defined(STRINGTABLE_EXE) && !defined(_WIN32)

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "support/test_files.h"

namespace {

// A shell line run in a scratch directory where `st` is the tool ($S its path,
// for `nb`, which runs a command as nobody when the test runs as root), $X the
// examples directory, `j EXPR` prints EXPR of the JSON `d` read from standard
// input with Python's json module, and VELMORA_REGISTRY names a missing file
// unless the line exports another; the exit status it must give, and
// tab-separated fragments its standard output and error must hold. A fragment
// writes each gap of two or more blanks (a column break) as '|'; one that
// starts with '=' is the whole output, blanks kept.
struct Case {
    const char* line;
    int status;
    const char* out;
    const char* err = "=";
};

// `text` with each run of two or more blanks written as '|'.
std::string Columns(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool gap = text.compare(i, 2, "  ") == 0;
        out += gap ? '|' : text[i];
        while (gap && i + 1 < text.size() && text[i + 1] == ' ') {
            ++i;
        }
    }
    return out;
}

std::string Expect(const Case& c, const std::string& cwd) {
    const auto quote = [](const std::string& text) { return "\"" + text + "\""; };
    const std::string command =
        "cd " + quote(cwd) + " && export X=" + quote(STRINGTABLE_EXAMPLES) + " S=" + quote(STRINGTABLE_EXE) +
        " VELMORA_TRACE= VELMORA_REGISTRY=/no/r.reg && st() { \"$S\" \"$@\"; } && nb() { if [ $(id -u) = 0 ]; then "
        "setpriv --reuid=nobody --regid=nogroup --clear-groups \"$@\"; else \"$@\"; fi; } && j() { python3 -c "
        "'import json,sys; d=json.load(sys.stdin); print(*eval(sys.argv[1]), sep=\"|\")' \"$1\"; } && e=$(mktemp) && "
        "{ " +
        c.line + "; } 2>$e; printf '\\1%d\\1' $?; cat $e";
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
            const std::string seen = whole ? text : Columns(text);
            EXPECT_TRUE(whole ? seen == want.substr(1) : seen.find(want) != seen.npos) << c.line << "\n"
                                                                                       << text << "\nlacks: " << want;
        }
    }
    return out;
}

// The columns a terminal gives a line of the test data: CJK, fullwidth forms and
// the emoji used below take two.
std::size_t Width(const std::string& line) {
    std::size_t columns = 0;
    for (const wchar_t c : testsupport::Widen(line)) {
        const bool wide = (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xFF00 && c <= 0xFF60) || c == 0x2705 ||
                          (c >= 0x1F300 && c <= 0x1F6FF);
        columns += wide ? 2 : 1;
    }
    return columns;
}

TEST(StringtableTest, CommandsOnSampleAndWrittenTables) {
    testsupport::TempDir home; // EUQ/res and res are the sample tables
    // clang-format off
    Expect({R"sh(mkdir EUQ a d h c u e && ln -s "$X"/res EUQ/res && ln -s EUQ/res res && ln -s "$X"/registry.reg sample.reg &&
        cd d && f='[Strings]\nIDS_SPAM_FOLDER_NAME=%s\n' && printf "$f" Spam >en.cfg && printf "$f" >zh.cfg &&
        printf '[Other]\nIDS_SPAM_FOLDER_NAME=Spam\n' >de.cfg && cd ../a && cp ../res/en.cfg ../res/ja.cfg . &&
        echo [Strings] >a.cfg && cp a.cfg readme.cfg && cd ../h && cp ../res/en.cfg "$(printf 'de\033]0;x\007').cfg" &&
        cp ../res/fr.cfg "$(printf 'fr\377').cfg" && python3 -c "open('ja.cfg', 'wb').write(b'\xff\xfe' + '[Strings]\n'
        'IDS_SPAM_FOLDER_NAME=a\udc00\x9b\u202eb\n'.encode('utf-16-le', 'surrogatepass'))" && cd ../c &&
        cp ../res/it.cfg ../res/es.cfg . && cp ../res/en.cfg EN.cfg && cp es.cfg 'es - Copy.cfg' && chmod 000 it.cfg && mkdir ja.cfg &&
        printf "$f" Spam >en-au.cfg && { echo '; Gr'; printf '\374\n'; cat ../res/de.cfg; } >de.cfg && ln -s no ko.cfg &&
        printf "$f" x | iconv -t utf-16le >nl.cfg && printf "$f" x | tr '[' '(' >sv.cfg && cp ../res/en.cfg ../u &&
        chmod 000 ../u && printf "$f" "$(printf '\342\234\205%.0s' $(seq 30))" >../e/en.cfg && cd .. && printf 'REGEDIT4\n[HKEY_LOCAL_MACHINE\\%b' \
        'SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\n"HomeDir"="'"$PWD"'"\n"EUQDefaultLangID"=dword:404\n' >r.reg &&
        sed 's|"HomeDir"=".*"|"HomeDir"="/no/such"|' r.reg >gone.reg)sh",
        0, ""}, home.path());
    const Case cases[] = {
        {"st check res", 1, "fr_ca|0x0c0c|fr_ca.cfg|23|1|0\n\nit (it.cfg): missing IDS_SD_ARCHIVE_MAILBOX, lookups "
            "return \"Cannot load string:IDS_SD_ARCHIVE_MAILBOX\"\nfr_ca (fr_ca.cfg): empty IDS_EUQ_SETUP_SERVICE_NAME"
            ", lookups fall back to neutral fr\n\n14 languages, 1 missing, 1 empty, 0 skipped, 0 warnings\n"},
        {"st check --json res", 1, R"("missing": [{"id": 23, "key": "IDS_SD_ARCHIVE_MAILBOX"}])" "\t"
            R"("empty": [{"id": 19, "key": "IDS_EUQ_SETUP_SERVICE_NAME", "fallback": "neutral", "from": 12}])" "\t"
            R"("summary": {"languages": 14, "missing": 1, "empty": 1, "skipped": 0, "warnings": 0},)" "\n|\"ok\": false\n"},
        {"st check a", 0, "skipped readme.cfg: the name does not start with a known language code\tskipped a.cfg: "
            "the name before .cfg has fewer than two characters\t\n2 languages, 0 missing, 0 empty, 2 skipped, 0 w"},
        {"st check --trace a", 0, "skipped readme.cfg", "[1003] .\\Util_StringLoader(\tInvalid string table file"},
        {"st check d", 1, "\nde|0x0007|de.cfg|0|0|24\n\tde (de.cfg): missing all 24 keys, because de.cfg has no [Str"},
        {"st check .", 1, "no string tables found"},
        // Why keys are missing, file by file, in the order the loader reads them.
        {"nb \"$S\" check c", 1, "en|0x0009|en-au.cfg,EN.cfg|1|0|23\nes|0x000a|es - Copy.cfg,es.cfg|24|0|0\n\t"
            "warning: de.cfg: not valid UTF-8 (byte 0xfc at offset 5), so the whole file was read as Windows-1252\t"
            "en-au.cfg: supplies 1 text, 23 placeholders\n|EN.cfg: supplies 0 texts, 0 placeholders; placeholders"
            " of an earlier file block 23 of its texts; texts of an earlier file hide 1 of its texts\n\ten (en-au.cfg,"
            " EN.cfg): missing 23 keys, because en-au.cfg lacks them; its placeholders block the texts of EN.cfg: IDS_"
            "APPROVE_SENDER_FORM_UI_TITLE, \tes.cfg: supplies 0 texts, 0 placeholders; texts of an earlier file hide 24"
            "\tit (it.cfg): missing all 24 keys, because it.cfg cannot be opened: Permission denied\n\tja (ja.cfg): "
            "missing all 24 keys, because ja.cfg is a directory, not a file\nko (ko.cfg): missing all 24 keys, because"
            " ko.cfg is a symbolic link to a file that does not exist\nnl (nl.cfg): missing all 24 keys, because nl.cf"
            "g is UTF-16 without a byte-order mark\tsv (sv.cfg): missing all 24 keys, because sv.cfg has no [Strings]"
            "\t\n8 languages, 143 missing, 0 empty, 0 skipped, 3 warnings\n"},
        {"nb \"$S\" check --json c | j '[f[\"file\"] + \":\" + str(f[\"problem\"] or f[\"warning\"])[:12] for f in "
            "d[\"files\"]] + d[\"languages\"][1][\"suppliers\"][13:15]'", 0, "=de.cfg:not valid UT|"
            "en-au.cfg:None|EN.cfg:None|es - Copy.cfg:None|es.cfg:None|it.cfg:cannot be op|ja.cfg:is a directo|"
            "ko.cfg:is a symboli|nl.cfg:is UTF-16 wi|sv.cfg:has no [Stri|en-au.cfg|en-au.cfg\n"},
        // Names and texts never reach the terminal raw; JSON stays valid UTF-8.
        {"st check h", 1, "de\\x1b]0;x\\x07.cfg|24\tfr\\xff.cfg|24"}, {"st check h | grep -c \"$(printf '\\033')\"", 1, "=0\n"},
        {"st show h de", 0, "de (0x0007): loaded from de\\x1b]0;x\\x07.cfg\n"},
        {"st show h ja", 0, "|IDS_SPAM_FOLDER_NAME|exact|a\\udc00\\u009b\\u202eb\n"},
        {"st check --json h | j '[f[\"file\"] for f in d[\"files\"]]'", 0, "=de\x1b]0;x\x07.cfg|fr\\xff.cfg|ja.cfg\n"},
        {"st show --json h ja | j '[d[14][\"text\"]]'", 0, "=a\\udc00\xc2\x9b\xe2\x80\xae" "b\n"},
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
        {"st show res --json | j '[len(d)]'", 0, "=336\n"},
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
        {"export VELMORA_REGISTRY=r.reg && st show --registry zh_cn", 0, "settings: r.reg\tdirectory: \t/EUQ\\res\n"
            "default language (EUQDefaultLangID): 0x0404 zh_tw\t\n14|IDS_SPAM_FOLDER_NAME|exact|垃圾邮件\n"},
        {"export VELMORA_REGISTRY=r.reg && st check --registry", 1, "14 languages, 1 missing, 1 empty, 0 skipped"},
        {"export VELMORA_REGISTRY=r.reg && st check --registry --json | j '[d[\"settings\"]]'", 0, "=r.reg\n"},
        {"export VELMORA_REGISTRY=r.reg && st which 14 Junk", 1, "0x0404|zh_tw|(no table lists the text; this is the"},
        {"export VELMORA_REGISTRY=sample.reg && st show --registry zh_cn", 0, "(EUQDefaultLangID): 0x0804 zh_cn"},
        // convert: every form the reader takes, lines split only at CR and LF.
        {"printf '[Strings]\\nIDS_SPAM_FOLDER_NAME=a\\342\\200\\250b\\fc\\302\\205d\\r\\n' >v && mkdir w && st convert v "
            "w/en.cfg && head -c 4 w/en.cfg | od -An -tx1 && st convert w/en.cfg v8 --to utf8 && cmp v v8 && st convert "
            "v w/b --to=utf8-bom && head -c 3 w/b | od -An -tx1 && st show w en", 0, " ff fe 5b 00\n ef bb bf\n\t"
            "|IDS_SPAM_FOLDER_NAME|exact|a\\u2028b\\x0cc\\u0085d\n"},
        {"st --help", 0, "stringtable check DIR"},
        // Trouble: status 2, nothing on standard output, the path and the reason on standard error.
        {"st show res >/dev/full", 2, "=", "=stringtable: cannot write to standard output: No space left on device\n"},
        {"nb \"$S\" show u", 2, "=", "cannot read the directory 'u': Permission denied"},
        {"nb \"$S\" check u", 2, "=", "cannot read the directory 'u': Permission denied"},
        {"st show /no", 2, "=", "cannot read the directory '/no': No such file or directory"},
        {"VELMORA_REGISTRY=gone.reg st show --registry", 2, "=", "'/no/such/EUQ\\res' (HomeDir in gone.reg, joined"},
        {"st check --registry", 2, "=", "settings (/no/r.reg) give no string-table directory"},
        {"st convert /no x", 2, "=", "cannot read '/no': No such file"}, {"st convert v /no/x", 2, "=", "cannot write"},
        // Usage errors: the same, with a hint at --help.
        {"st", 2, "=", "no command given"}, {"st nope", 2, "=", "unknown command 'nope'"},
        {"st --bogus", 2, "=", "unknown option '--bogus'"}, {"st show", 2, "=", "show: expected DIR [LOCALE]"},
        {"st show res xx", 2, "=", "unknown locale 'xx'"}, {"st show res 0x0400", 2, "=", "'0x0400' is not a"},
        {"st show --registry res fr", 2, "=", "[LOCALE] with --regis"}, {"st convert v x --to latin1", 2, "=", "--to t"},
        {"st show res --width", 2, "=", "--width needs a"}, {"st check --dir res", 2, "=", "--dir does not apply"},
        {"st check res --width 1", 2, "=", "--width does not"}, {"st locale --json en", 2, "=", "--json does not"},
        {"st langid 0x", 2, "=", "'0x' is not a"}, {"st langid 99999999999", 2, "=", "'99999999999' is not"},
        {"st langid -- -5", 2, "=", "'-5' is not a"}, {"st which 24 x --dir res", 2, "=", "'24' is neither a string ID"},
        {"st which NO x --dir res", 2, "=", "'NO' is neither"}, {"st which --dir . --registry 1 x", 2, "=", "not both"},
        {"chmod -R u+rwx c u", 0, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        Expect(c, home.path());
    }
    // At a given width rows fit, the key column gives way first, and every text is printed whole, wrapped.
    const Case layouts[] = {
        {"st show res fr_ca --width 80", 0, "|IDS_SPAM_FOLDER_NAME|exact|Pourriels\n\t|pleine. Retirez des entrées"},
        {"st show res ja --width 80", 0, "|IDS_SPAM_FOLDER_NAME|exact|迷惑メール\n"},
        {"st show res --width 80", 0, "LOCALE|LANGID|ID|SOURCE|TEXT\nde|0x0007|0|exact|Zugelassene Absender\n"},
        {"st show e en --width 60", 0, "\n14|exact|✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅✅\n|✅✅✅✅✅✅✅✅✅\n"}};
    for (const Case& c : layouts) {
        std::istringstream lines(Expect(c, home.path()));
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(Width(line), std::stoul(c.line + std::string(c.line).rfind(' '))) << line;
            EXPECT_TRUE(line.find("... ") == line.npos && line.rfind("...") + 3 != line.size()) << line; // not cut
        }
    }
}

} // namespace

#endif
