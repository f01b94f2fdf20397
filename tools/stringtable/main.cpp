// stringtable: inspects string-table directories through the util_stringloader
// library. "show" prints what LoadStringW answers and where each text comes
// from, "check" reports per-language coverage like a catalogue checker,
// "locale" and "langid" run the two conversions, and "which" asks which
// language lists a text. Only the library's public headers are used.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "Util_StringLoader.h"
#include "table_view.h"
#include "terminal_text.h"

namespace {

using stringtable::Coverage;
using stringtable::JsonString;
using stringtable::LoadReport;
using stringtable::Lookup;
using stringtable::Printable;
using stringtable::Table;
using stringtable::TableInspector;
using stringtable::Utf8FromWide;
using stringtable::WideFromUtf8;

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;
constexpr int kExitTrouble = 2;

constexpr const char* kUsage = R"(Usage:
  stringtable show DIR [LOCALE]          every string with its source, for LOCALE or every loaded language
  stringtable show --registry [LOCALE]   the same for the directory the registry names
  stringtable check DIR | --registry     coverage per language; exit status 1 when a key is missing
  stringtable locale NAME...             locale names (zh_tw) to language IDs
  stringtable langid ID...               language IDs (0x0404 or 1028) to locale names
  stringtable which STRING-ID TEXT [--dir DIR]
                                         the language whose string STRING-ID (number or key name)
                                         lists TEXT; without --dir the registry names the directory

Options:
  --registry   load the directory named by HomeDir in the registry (on Linux the
               .reg file that VELMORA_REGISTRY names), joined with EUQ\res
  --dir DIR    the directory for "which"
  --json       machine-readable output (show, check)
  --width N    (show) cut texts so that rows fit N columns; 0 never cuts.
               The default is the terminal's width when printing to one
  --trace      print the library's trace records to standard error
  -h, --help   this text

LOCALE is a locale name (fr_ca) or a language ID (0x0c0c). Exit status: 0 when
all is well; 1 when check finds a missing key, which finds no match or a
conversion fails; 2 for usage errors and directories that cannot be read.
)";

class UsageError {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const std::string& message() const { return m_message; }

private:
    std::string m_message;
};

struct Options {
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> dir;
    std::optional<std::size_t> width;
    bool registry = false;
    bool json = false;
    bool trace = false;
};

// A number in decimal or, with 0x, in hex, that fits `maximum`; nothing else.
std::optional<std::uint64_t> ParseNumber(const std::string& text, std::uint64_t maximum) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
        return std::nullopt;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value > maximum) {
        return std::nullopt;
    }
    return value;
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "--registry") {
                options.registry = true;
            } else if (argument == "--json") {
                options.json = true;
            } else if (argument == "--trace") {
                options.trace = true;
            } else if (argument == "-h" || argument == "--help") {
                options.command = "help";
                return options;
            } else if (argument == "--dir") {
                if (i + 1 >= argc) {
                    throw UsageError("--dir needs a directory");
                }
                options.dir = argv[++i];
            } else if (argument.rfind("--dir=", 0) == 0) {
                options.dir = argument.substr(6);
            } else if (argument == "--width" || argument.rfind("--width=", 0) == 0) {
                std::string value;
                if (argument == "--width") {
                    if (i + 1 >= argc) {
                        throw UsageError("--width needs a number of columns");
                    }
                    value = argv[++i];
                } else {
                    value = argument.substr(8);
                }
                const auto columns = ParseNumber(value, 100000);
                if (!columns) {
                    throw UsageError("--width needs a number of columns, not '" + value + "'");
                }
                options.width = static_cast<std::size_t>(*columns);
            } else {
                throw UsageError("unknown option '" + argument + "'");
            }
        } else if (options.command.empty()) {
            options.command = argument;
        } else {
            options.arguments.push_back(argument);
        }
    }
    return options;
}

void RequireArguments(const Options& options, std::size_t least, std::size_t most, const char* what) {
    if (options.arguments.size() < least || options.arguments.size() > most) {
        throw UsageError(std::string(options.command) + ": expected " + what);
    }
}

void AllowOptions(const Options& options, bool registry, bool json, bool dir, bool width = false) {
    if (options.width && !width) {
        throw UsageError("--width does not apply to " + options.command);
    }
    if (options.registry && !registry) {
        throw UsageError("--registry does not apply to " + options.command);
    }
    if (options.json && !json) {
        throw UsageError("--json does not apply to " + options.command);
    }
    if (options.dir && !dir) {
        throw UsageError("--dir does not apply to " + options.command);
    }
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
    return text;
}

std::string LocaleOf(int languageID) {
    const std::string name =
        Utf8FromWide(CUtilLocaleLCIDConverter().LangIDToLocale(static_cast<std::uint32_t>(languageID)).str());
    return name.empty() ? "?" : name;
}

// A LOCALE argument: a language ID when it starts with a digit, else a locale name.
int ParseLanguage(const std::string& text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        const auto value = ParseNumber(text, 0x7fffffff);
        if (!value || (*value & 0x3ff) == 0) {
            throw UsageError("'" + text + "' is not a language ID");
        }
        return static_cast<int>(*value);
    }
    const std::uint32_t language = CUtilLocaleLCIDConverter().LocaleToLangID(WideFromUtf8(text).c_str());
    if (language == 0) {
        throw UsageError("unknown locale '" + text + "'");
    }
    return static_cast<int>(language);
}

std::size_t TerminalColumns() {
#ifndef _WIN32
    winsize size{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return 0;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// Loads DIR or the registry's directory; throws UsageError for a directory
// that is not there and reports a registry that names none.
std::optional<LoadReport> Load(TableInspector& inspector, const std::optional<std::string>& dir, bool trace) {
    if (dir) {
        std::error_code error;
        if (!std::filesystem::is_directory(std::filesystem::path(*dir), error)) {
            std::fprintf(stderr, "stringtable: '%s' is not a directory\n", dir->c_str());
            return std::nullopt;
        }
        const std::wstring directory = WideFromUtf8(*dir);
        return stringtable::LoadTables(inspector, directory.c_str(), trace);
    }
    LoadReport report = stringtable::LoadTables(inspector, nullptr, trace);
    if (!report.succeeded) {
        std::fprintf(stderr, "stringtable: the registry names no string-table directory\n");
        for (const auto& failure : report.failures) {
            std::fprintf(stderr, "  %s\n", Printable(Utf8FromWide(failure)).c_str());
        }
        std::fprintf(stderr, "  (on Linux VELMORA_REGISTRY names the .reg file; it is %s)\n",
                     std::getenv("VELMORA_REGISTRY") != nullptr ? "set" : "not set");
        return std::nullopt;
    }
    return report;
}

std::string SourceCell(const Lookup& lookup) {
    std::string cell = stringtable::SourceName(lookup.source);
    if (lookup.source == stringtable::Source::kNeutral || lookup.source == stringtable::Source::kEnglish) {
        cell += " " + LocaleOf(lookup.fromLanguage);
    }
    return cell;
}

std::string FileList(const std::vector<std::wstring>& files) {
    std::string list;
    for (const auto& file : files) {
        list += (list.empty() ? "" : ",") + Utf8FromWide(file);
    }
    return list.empty() ? "-" : list;
}

int Show(const Options& options) {
    AllowOptions(options, true, true, false, true);
    std::optional<std::string> dir;
    std::optional<std::string> locale;
    if (options.registry) {
        RequireArguments(options, 0, 1, "[LOCALE] with --registry");
        if (!options.arguments.empty()) {
            locale = options.arguments[0];
        }
    } else {
        RequireArguments(options, 1, 2, "DIR [LOCALE]");
        dir = options.arguments[0];
        if (options.arguments.size() > 1) {
            locale = options.arguments[1];
        }
    }
    // 0 asks for every loaded language: no language ID has primary language 0.
    const int requested = locale ? ParseLanguage(*locale) : 0;

    TableInspector inspector;
    const auto report = Load(inspector, dir, options.trace);
    if (!report) {
        return kExitTrouble;
    }
    const std::vector<int> languages = requested != 0 ? std::vector<int>{requested} : inspector.Languages();

    if (options.json) {
        std::string out = "[\n";
        bool first = true;
        for (const int language : languages) {
            for (int id = 0; id < TableInspector::kStringCount; ++id) {
                const Lookup lookup = inspector.Find(language, id);
                out += first ? "  " : ",\n  ";
                first = false;
                out += "{\"locale\": " + JsonString(LocaleOf(language)) + ", \"langid\": " + std::to_string(language) +
                       ", \"id\": " + std::to_string(id) +
                       ", \"key\": " + JsonString(Utf8FromWide(TableInspector::KeyName(id))) +
                       ", \"source\": " + JsonString(stringtable::SourceName(lookup.source)) +
                       ", \"from\": " + std::to_string(lookup.fromLanguage) +
                       ", \"text\": " + JsonString(Utf8FromWide(lookup.text)) + "}";
            }
        }
        Print(out + (first ? "]\n" : "\n]\n"));
        return kExitOk;
    }

    if (options.registry) {
        const int fallback = inspector.GetDefaultLangID();
        Print("default language (EUQDefaultLangID): " + Hex(static_cast<std::uint32_t>(fallback)) + " " +
              LocaleOf(fallback) + "\n");
    }
    std::map<int, std::vector<std::wstring>> filesByLanguage;
    for (const auto& file : report->files) {
        filesByLanguage[file.languageID].push_back(stringtable::FileNameOf(file.path));
    }
    if (requested != 0) {
        const int language = requested;
        std::string header = LocaleOf(language) + " (" + Hex(static_cast<std::uint32_t>(language)) + "): ";
        header += inspector.IsLoaded(language) ? "loaded from " + FileList(filesByLanguage[language])
                                               : std::string("not loaded, texts come from the fallback");
        Print(header + "\n");
        Table table({"ID", "KEY", "SOURCE", "TEXT"});
        table.AlignRight(0);
        for (int id = 0; id < TableInspector::kStringCount; ++id) {
            const Lookup lookup = inspector.Find(language, id);
            table.AddRow({std::to_string(id), Utf8FromWide(TableInspector::KeyName(id)), SourceCell(lookup),
                          Printable(Utf8FromWide(lookup.text))});
        }
        Print(table.Render(options.width ? *options.width : TerminalColumns()));
        return kExitOk;
    }

    if (languages.empty()) {
        Print("no string tables loaded\n");
        return kExitOk;
    }
    Table table({"LOCALE", "LANGID", "ID", "KEY", "SOURCE", "TEXT"});
    table.AlignRight(2);
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (i != 0) {
            table.AddSeparator();
        }
        const int language = languages[i];
        for (int id = 0; id < TableInspector::kStringCount; ++id) {
            const Lookup lookup = inspector.Find(language, id);
            table.AddRow({LocaleOf(language), Hex(static_cast<std::uint32_t>(language)), std::to_string(id),
                          Utf8FromWide(TableInspector::KeyName(id)), SourceCell(lookup),
                          Printable(Utf8FromWide(lookup.text))});
        }
    }
    Print(table.Render(options.width ? *options.width : TerminalColumns()));
    return kExitOk;
}

std::string JsonKeys(const TableInspector& inspector, int language, const std::vector<int>& ids, bool withFallback) {
    std::string out = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        out += (i == 0 ? "" : ", ");
        out += "{\"id\": " + std::to_string(ids[i]) +
               ", \"key\": " + JsonString(Utf8FromWide(TableInspector::KeyName(ids[i])));
        if (withFallback) {
            const Lookup lookup = inspector.Find(language, ids[i]);
            out += ", \"fallback\": " + JsonString(stringtable::SourceName(lookup.source)) +
                   ", \"from\": " + std::to_string(lookup.fromLanguage);
        }
        out += "}";
    }
    return out + "]";
}

int Check(const Options& options) {
    AllowOptions(options, true, true, false);
    std::optional<std::string> dir;
    if (options.registry) {
        RequireArguments(options, 0, 0, "no DIR with --registry");
    } else {
        RequireArguments(options, 1, 1, "DIR");
        dir = options.arguments[0];
    }
    TableInspector inspector;
    const auto report = Load(inspector, dir, options.trace);
    if (!report) {
        return kExitTrouble;
    }
    const std::vector<Coverage> coverage = stringtable::CoverageOf(inspector, *report);
    std::size_t missing = 0;
    std::size_t empty = 0;
    for (const auto& language : coverage) {
        missing += language.missing.size();
        empty += language.empty.size();
    }
    const bool passed = missing == 0 && !coverage.empty();

    if (options.json) {
        std::string out = "{\n  \"languages\": [";
        for (std::size_t i = 0; i < coverage.size(); ++i) {
            const Coverage& language = coverage[i];
            std::string files;
            for (const auto& file : language.files) {
                files += (files.empty() ? "" : ", ") + JsonString(Utf8FromWide(file));
            }
            out += (i == 0 ? "\n" : ",\n");
            out += "    {\"locale\": " + JsonString(LocaleOf(language.languageID)) +
                   ", \"langid\": " + std::to_string(language.languageID) + ", \"files\": [" + files +
                   "], \"present\": " + std::to_string(language.present.size()) +
                   ", \"empty\": " + JsonKeys(inspector, language.languageID, language.empty, true) +
                   ", \"missing\": " + JsonKeys(inspector, language.languageID, language.missing, false) + "}";
        }
        out += coverage.empty() ? "],\n" : "\n  ],\n";
        out += "  \"skipped\": [";
        for (std::size_t i = 0; i < report->skipped.size(); ++i) {
            out += (i == 0 ? "" : ", ");
            out += "{\"file\": " + JsonString(Utf8FromWide(report->skipped[i].name)) +
                   ", \"reason\": " + JsonString(report->skipped[i].reason) + "}";
        }
        out += "],\n  \"summary\": {\"languages\": " + std::to_string(coverage.size()) +
               ", \"missing\": " + std::to_string(missing) + ", \"empty\": " + std::to_string(empty) +
               ", \"skipped\": " + std::to_string(report->skipped.size()) + "},\n";
        out += std::string("  \"ok\": ") + (passed ? "true" : "false") + "\n}\n";
        Print(out);
        return passed ? kExitOk : kExitFindings;
    }

    Table table({"LOCALE", "LANGID", "FILES", "PRESENT", "EMPTY", "MISSING"});
    table.AlignRight(3);
    table.AlignRight(4);
    table.AlignRight(5);
    for (const auto& language : coverage) {
        table.AddRow({LocaleOf(language.languageID), Hex(static_cast<std::uint32_t>(language.languageID)),
                      FileList(language.files), std::to_string(language.present.size()),
                      std::to_string(language.empty.size()), std::to_string(language.missing.size())});
    }
    std::string out = coverage.empty() ? "" : table.Render();
    std::string notes;
    for (const auto& language : coverage) {
        const std::string where = LocaleOf(language.languageID) + " (" + FileList(language.files) + ")";
        for (const int id : language.missing) {
            notes += where + ": missing " + Utf8FromWide(TableInspector::KeyName(id)) + ", lookups return \"" +
                     Utf8FromWide(TableInspector::Placeholder(id)) + "\"\n";
        }
        for (const int id : language.empty) {
            const Lookup lookup = inspector.Find(language.languageID, id);
            notes += where + ": empty " + Utf8FromWide(TableInspector::KeyName(id)) + ", lookups fall back to ";
            notes += lookup.source == stringtable::Source::kNone ? std::string("nothing (an empty text)")
                                                                 : SourceCell(lookup);
            notes += "\n";
        }
    }
    for (const auto& skipped : report->skipped) {
        notes += "skipped " + Printable(Utf8FromWide(skipped.name)) + ": " + skipped.reason + "\n";
    }
    if (!notes.empty()) {
        out += (out.empty() ? "" : "\n") + notes;
    }
    out += (out.empty() ? "" : "\n") + std::to_string(coverage.size()) + " languages, " + std::to_string(missing) +
           " missing, " + std::to_string(empty) + " empty, " + std::to_string(report->skipped.size()) + " skipped";
    out += coverage.empty() ? ": no string tables found\n" : "\n";
    Print(out);
    return passed ? kExitOk : kExitFindings;
}

int Locale(const Options& options) {
    AllowOptions(options, false, false, false);
    RequireArguments(options, 1, SIZE_MAX, "at least one locale NAME");
    stringtable::TraceListener listener(options.trace);
    const CUtilLocaleLCIDConverter converter;
    Table table({"NAME", "LANGID", "DECIMAL", "BACK"});
    table.AlignRight(2);
    bool allConverted = true;
    for (const auto& name : options.arguments) {
        const std::uint32_t language = converter.LocaleToLangID(WideFromUtf8(name).c_str());
        if (language == 0) {
            allConverted = false;
            table.AddRow({Printable(name), "-", "-", "(no such locale)"});
            continue;
        }
        table.AddRow({Printable(name), Hex(language), std::to_string(language),
                      Utf8FromWide(converter.LangIDToLocale(language).str())});
    }
    Print(table.Render());
    return allConverted ? kExitOk : kExitFindings;
}

int LangID(const Options& options) {
    AllowOptions(options, false, false, false);
    RequireArguments(options, 1, SIZE_MAX, "at least one language ID");
    stringtable::TraceListener listener(options.trace);
    std::vector<std::uint32_t> ids;
    for (const auto& text : options.arguments) {
        const auto value = ParseNumber(text, 0xffffffffu);
        if (!value) {
            throw UsageError("'" + text + "' is not a language ID (0x0404 or 1028)");
        }
        ids.push_back(static_cast<std::uint32_t>(*value));
    }
    const CUtilLocaleLCIDConverter converter;
    Table table({"LANGID", "DECIMAL", "LOCALE"});
    table.AlignRight(1);
    bool allConverted = true;
    for (const std::uint32_t id : ids) {
        const std::string locale = Utf8FromWide(converter.LangIDToLocale(id).str());
        allConverted = allConverted && !locale.empty();
        table.AddRow({Hex(id), std::to_string(id), locale.empty() ? "(no such language)" : locale});
    }
    Print(table.Render());
    return allConverted ? kExitOk : kExitFindings;
}

int Which(const Options& options) {
    AllowOptions(options, true, false, true);
    RequireArguments(options, 2, 2, "STRING-ID TEXT");
    if (options.registry && options.dir) {
        throw UsageError("which: give --dir or --registry, not both");
    }
    const std::string& idText = options.arguments[0];
    int stringID = TableInspector::StringIDOfKey(WideFromUtf8(idText));
    if (stringID < 0) {
        const auto value = ParseNumber(idText, 0x7fffffff);
        if (!value) {
            throw UsageError("'" + idText + "' is neither a string ID nor a key name");
        }
        stringID = static_cast<int>(*value);
    }
    TableInspector inspector;
    if (!Load(inspector, options.dir, options.trace)) {
        return kExitTrouble;
    }
    const std::wstring text = WideFromUtf8(options.arguments[1]);
    const int answer = inspector.GetStringLangIDEx(stringID, text.c_str());
    // No table is ever stored under language 0, so a copy whose default is 0
    // tells a match in the default language from no match at all.
    TableInspector probe(inspector);
    probe.OverrideDefaultLangID(0);
    const bool matched = probe.GetStringLangIDEx(stringID, text.c_str()) != 0;
    std::string line = Hex(static_cast<std::uint32_t>(answer)) + "  " + LocaleOf(answer);
    if (!matched) {
        line += "  (no table lists the text; this is the default language)";
    }
    Print(line + "\n");
    return matched ? kExitOk : kExitFindings;
}

int Run(int argc, char** argv) {
    const Options options = ParseArguments(argc, argv);
    if (options.command == "help") {
        Print(kUsage);
        return kExitOk;
    }
    if (options.command.empty()) {
        throw UsageError("no command given");
    }
    if (options.command == "show") {
        return Show(options);
    }
    if (options.command == "check") {
        return Check(options);
    }
    if (options.command == "locale") {
        return Locale(options);
    }
    if (options.command == "langid") {
        return LangID(options);
    }
    if (options.command == "which") {
        return Which(options);
    }
    throw UsageError("unknown command '" + options.command + "'");
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "stringtable: %s\nRun 'stringtable --help' for usage.\n", error.message().c_str());
        return kExitTrouble;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stringtable: %s\n", error.what());
        return kExitTrouble;
    }
}
