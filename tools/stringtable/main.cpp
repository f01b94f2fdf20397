// stringtable: inspects string-table directories through the util_stringloader
// library. "show" prints what LoadStringW answers and where each text comes
// from, "check" reports per-language coverage and explains what is missing,
// "locale" and "langid" run the two conversions, "which" asks which language
// lists a text, and "convert" rewrites a table in another encoding. Only the
// library's public headers are used. Everything printed goes through
// Printable or JsonString, so no stored text or file name reaches the terminal
// raw.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "Util_StringLoader.h"
#include "table_file.h"
#include "table_view.h"
#include "terminal_text.h"

namespace {

namespace fs = std::filesystem;
using stringtable::Coverage;
using stringtable::FileFacts;
using stringtable::FileShare;
using stringtable::JsonString;
using stringtable::Lookup;
using stringtable::Printable;
using stringtable::Table;
using stringtable::TableFile;
using stringtable::TableInspector;
using stringtable::Utf8FromWide;
using stringtable::WideFromUtf8;

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;
constexpr int kExitTrouble = 2;

constexpr const char* kUsage = R"(Usage:
  stringtable show DIR [LOCALE]          every string with its source, for LOCALE or every loaded language
  stringtable show --registry [LOCALE]   the same for the directory the installation settings name
  stringtable check DIR | --registry     coverage per language and why keys are missing;
                                         exit status 1 when a key is missing
  stringtable locale NAME...             locale names (zh_tw) to language IDs
  stringtable langid ID...               language IDs (0x0404 or 1028) to locale names
  stringtable which STRING-ID TEXT [--dir DIR]
                                         the language whose string STRING-ID (0-23 or key name)
                                         lists TEXT; without --dir the settings name the directory
  stringtable convert INPUT OUTPUT [--to utf16le|utf8|utf8-bom]
                                         rewrites a table in another encoding (default utf16le,
                                         with a byte-order mark, which every platform reads)

Options:
  --registry   load the directory named by HomeDir in the installation settings
               (on Linux the .reg file that VELMORA_REGISTRY names), joined with EUQ\res
  --dir DIR    the directory for "which"
  --json       machine-readable output (show, check)
  --width N    (show) fit rows to N columns, wrapping texts; 0 never wraps.
               The default is the terminal's width when printing to one
  --to ENC     (convert) the encoding to write
  --trace      print the library's trace records to standard error
  -h, --help   this text

LOCALE is a locale name (fr_ca) or a language ID (0x0c0c). Exit status: 0 when
all is well; 1 when check finds a missing key, which finds no match or a
conversion fails; 2 for usage errors, directories that cannot be read and
output that cannot be written.
)";

// Bad command-line use: status 2 with a hint at --help.
class UsageError {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const std::string& message() const { return m_message; }

private:
    std::string m_message;
};

// Something on the machine stops the command (a directory that cannot be read,
// a file that cannot be written): status 2 with the reason.
class Trouble : public UsageError {
public:
    using UsageError::UsageError;
};

struct Options {
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> dir;
    std::optional<std::size_t> width;
    std::optional<std::string> to;
    bool registry = false;
    bool json = false;
    bool trace = false;
};

// Output. Pipes and files get UTF-8 bytes; a Windows console gets the same
// text through WriteConsoleW, since its code page is rarely UTF-8. The first
// write error is remembered and reported once at the end.
int g_writeError = 0;

void Write(FILE* stream, const std::string& text) {
#ifdef _WIN32
    HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) != 0) {
        std::fflush(stream);
        const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
        DWORD written = 0;
        if (WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) == 0 &&
            stream == stdout && g_writeError == 0) {
            g_writeError = EIO;
        }
        return;
    }
#endif
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() && stream == stdout && g_writeError == 0) {
        g_writeError = errno != 0 ? errno : EIO;
    }
}

void Print(const std::string& text) {
    Write(stdout, text);
}

void Complain(const std::string& text) {
    Write(stderr, "stringtable: " + text + "\n");
}

// A number in decimal or, with 0x, in hex, that fits `maximum`; nothing else:
// no sign and no leading white space of any kind, which strtoull would skip.
std::optional<std::uint64_t> ParseNumber(const std::string& text, std::uint64_t maximum) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || std::isxdigit(static_cast<unsigned char>(digits[0])) == 0) {
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

Options ParseArguments(const std::vector<std::string>& argv) {
    Options options;
    bool optionsEnded = false;
    const auto valueOf = [&argv](std::size_t& i, const std::string& argument, const std::string& name,
                                 const char* what) {
        if (argument.size() > name.size()) {
            return argument.substr(name.size() + 1);
        }
        if (i + 1 >= argv.size()) {
            throw UsageError(name + " needs " + what);
        }
        return argv[++i];
    };
    const auto is = [](const std::string& argument, const std::string& name) {
        return argument == name || argument.rfind(name + "=", 0) == 0;
    };
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& argument = argv[i];
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
            } else if (is(argument, "--dir")) {
                options.dir = valueOf(i, argument, "--dir", "a directory");
            } else if (is(argument, "--to")) {
                options.to = valueOf(i, argument, "--to", "an encoding");
            } else if (is(argument, "--width")) {
                const std::string value = valueOf(i, argument, "--width", "a number of columns");
                const auto columns = ParseNumber(value, 100000);
                if (!columns) {
                    throw UsageError("--width needs a number of columns, not '" + Printable(value) + "'");
                }
                options.width = static_cast<std::size_t>(*columns);
            } else {
                throw UsageError("unknown option '" + Printable(argument) + "'");
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
    if (options.to && options.command != "convert") {
        throw UsageError("--to does not apply to " + options.command);
    }
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
        Printable(CUtilLocaleLCIDConverter().LangIDToLocale(static_cast<std::uint32_t>(languageID)).str());
    return name.empty() ? "?" : name;
}

// A LOCALE argument: a language ID when it starts with a digit, else a locale name.
int ParseLanguage(const std::string& text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        const auto value = ParseNumber(text, 0x7fffffff);
        if (!value || (*value & 0x3ff) == 0) {
            throw UsageError("'" + Printable(text) + "' is not a language ID");
        }
        return static_cast<int>(*value);
    }
    const std::uint32_t language = CUtilLocaleLCIDConverter().LocaleToLangID(WideFromUtf8(text).c_str());
    if (language == 0) {
        throw UsageError("unknown locale '" + Printable(text) + "'");
    }
    return static_cast<int>(language);
}

std::size_t TerminalColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) != 0) {
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    }
#else
    winsize size{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return 0;
}

// A path given on the command line (UTF-8; on Linux any bytes).
fs::path PathOf(const std::string& argument) {
#ifdef _WIN32
    return fs::path(WideFromUtf8(argument));
#else
    return fs::path(argument);
#endif
}

std::string Shown(const std::wstring& name) {
    return Printable(Utf8FromWide(name));
}

// Where the installation settings live, for messages.
std::string SettingsSource() {
#ifdef _WIN32
    return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";
#else
    const char* file = std::getenv("VELMORA_REGISTRY");
    return file != nullptr && *file != '\0' ? file : "/etc/velmora/registry.reg";
#endif
}

// The string-table directory below HomeDir, as the system names it.
#ifdef _WIN32
const std::string kResDirectory = "EUQ\\res";
#else
const std::string kResDirectory = "EUQ/res";
#endif

// A loaded directory: the library's own load, and the tool's listing of the
// files that the load read, in the order it read them.
struct Loaded {
    TableInspector inspector;
    std::optional<std::string> settings; // with --registry: where HomeDir came from (bytes)
    std::string directory;               // the path the system opens (bytes)
    std::vector<TableFile> files;
    stringtable::SettingsFacts settingsFacts;
};

// Loads DIR or the directory the settings name. A directory that cannot be
// listed, or settings that name none, stop the command with the path and the
// reason.
Loaded Load(const std::optional<std::string>& dir, bool trace) {
    Loaded loaded;
    std::wstring directory;
    fs::path path;
    loaded.settingsFacts = stringtable::InspectSettings(SettingsSource());
    if (dir) {
        directory = WideFromUtf8(*dir);
#ifndef _WIN32
        if (dir->find('\\') != std::string::npos) {
            throw Trouble("cannot load '" + Printable(*dir) +
                          "': the library takes '\\' in a path for a separator, so a directory whose path holds one "
                          "cannot be loaded");
        }
#endif
    } else {
        loaded.settings = SettingsSource();
        const stringtable::TraceEcho echo(trace);
        if (!loaded.inspector.SettingsDirectory(&directory)) {
            const std::string& problem = loaded.settingsFacts.problem;
            throw Trouble("the installation settings (" + Printable(*loaded.settings) +
                          ") give no string-table directory: " + (problem.empty() ? "no HomeDir value" : problem));
        }
    }
#ifdef _WIN32
    loaded.directory = Utf8FromWide(directory);
    path = fs::path(directory);
#else
    // The library takes '\' as a separator on Linux too ("EUQ\res"); this is the
    // path it opens.
    loaded.directory = Utf8FromWide(directory);
    std::replace(loaded.directory.begin(), loaded.directory.end(), '\\', '/');
    path = PathOf(loaded.directory);
#endif
    try {
        loaded.files = stringtable::ListTableFiles(path);
    } catch (const fs::filesystem_error& error) {
        throw Trouble("cannot read the directory '" + Printable(loaded.directory) + "'" +
                      (loaded.settings
                           ? " (HomeDir in " + Printable(*loaded.settings) + ", joined with " + kResDirectory + ")"
                           : "") +
                      ": " + error.code().message());
    }
    // Only the load's own records are echoed, not those of the listing above.
    const stringtable::TraceEcho echo(trace);
#ifdef _WIN32
    // Windows' own profile reader reads a file whole whatever its type or size
    // (Wine's crashes on a 2 GB file), so the tool loads the files one by one,
    // in the scan's order and through the scan's own call, and skips those the
    // Linux reader refuses instead of handing them over.
    for (TableFile& file : loaded.files) {
        const std::string refusal = file.languageID != 0 ? stringtable::RefusalOf(file.path) : "";
        if (!refusal.empty()) {
            file.languageID = 0;
            file.skipReason = "it " + refusal;
        } else if (file.languageID != 0) {
            loaded.inspector.LoadFile(file.path, file.languageID);
        }
    }
    loaded.inspector.ReadDefaultLanguage();
#else
    loaded.inspector.LoadAllLanguageStringTable(dir ? directory.c_str() : nullptr);
#endif
    return loaded;
}

// Where the default language came from, for messages.
std::string DefaultSource(const Loaded& loaded) {
    const stringtable::SettingsFacts& facts = loaded.settingsFacts;
    return facts.defaultFromSettings ? "EUQDefaultLangID" : "built-in, since " + facts.defaultProblem;
}

// A warning when the default language, which GetStringLangIDEx answers for a
// text that no table lists, is no loaded language; else empty.
std::string DefaultLanguageWarning(const Loaded& loaded) {
    const int fallback = loaded.inspector.GetDefaultLangID();
    if (loaded.inspector.IsLoaded(fallback) || loaded.inspector.Languages().empty()) {
        return "";
    }
    return "the default language " + Hex(static_cast<std::uint32_t>(fallback)) + " " + LocaleOf(fallback) + " (" +
           DefaultSource(loaded) + ") is no loaded language; GetStringLangIDEx answers it for a text no table lists";
}

// The settings, the directory and the default language, with --registry;
// `check` gives the default language's warning among its own.
void PrintSettings(const Loaded& loaded, bool withWarning) {
    if (loaded.settings) {
        const int fallback = loaded.inspector.GetDefaultLangID();
        const std::string warning = withWarning ? DefaultLanguageWarning(loaded) : "";
        Print("settings: " + Printable(*loaded.settings) + "\ndirectory: " + Printable(loaded.directory) +
              "\ndefault language (" + DefaultSource(loaded) + "): " + Hex(static_cast<std::uint32_t>(fallback)) + " " +
              LocaleOf(fallback) + (warning.empty() ? "" : "\nwarning: " + warning) + "\n");
    }
}

std::string SourceCell(const Lookup& lookup) {
    std::string cell = stringtable::SourceName(lookup.source);
    if (lookup.source == stringtable::Source::kNeutral || lookup.source == stringtable::Source::kEnglish) {
        cell += " " + LocaleOf(lookup.fromLanguage);
    }
    return cell;
}

std::string FileList(const std::vector<const TableFile*>& files, const char* separator = ", ") {
    std::string list;
    for (const TableFile* file : files) {
        list += (list.empty() ? "" : separator) + Shown(file->name);
    }
    return list.empty() ? "-" : list;
}

std::vector<const TableFile*> FilesOf(const Loaded& loaded, int language) {
    std::vector<const TableFile*> files;
    for (const TableFile& file : loaded.files) {
        if (file.languageID == language) {
            files.push_back(&file);
        }
    }
    return files;
}

std::vector<const TableFile*> FilesOf(const Coverage& language) {
    std::vector<const TableFile*> files;
    for (const FileShare& share : language.files) {
        files.push_back(share.file);
    }
    return files;
}

std::string KeyOf(int id) {
    return Utf8FromWide(TableInspector::KeyName(id));
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
    const Loaded loaded = Load(dir, options.trace);
    const TableInspector& inspector = loaded.inspector;
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
                       ", \"id\": " + std::to_string(id) + ", \"key\": " + JsonString(KeyOf(id)) +
                       ", \"source\": " + JsonString(stringtable::SourceName(lookup.source)) +
                       ", \"from\": " + std::to_string(lookup.fromLanguage) +
                       ", \"text\": " + JsonString(std::wstring_view(lookup.text)) + "}";
            }
        }
        Print(out + (first ? "]\n" : "\n]\n"));
        return kExitOk;
    }

    PrintSettings(loaded, true);
    if (languages.empty()) {
        Print("no string tables in " + Printable(loaded.directory) + "\n");
        return kExitOk;
    }
    // One language: a header line naming its files; several: a column each.
    const bool one = requested != 0;
    if (one) {
        Print(LocaleOf(requested) + " (" + Hex(static_cast<std::uint32_t>(requested)) + "): " +
              (inspector.IsLoaded(requested) ? "loaded from " + FileList(FilesOf(loaded, requested))
                                             : std::string("not loaded, texts come from the fallback")) +
              "\n");
    }
    const std::vector<std::string> lead =
        one ? std::vector<std::string>{} : std::vector<std::string>{"LOCALE", "LANGID"};
    std::vector<std::string> header = lead;
    header.insert(header.end(), {"ID", "KEY", "SOURCE", "TEXT"});
    Table table(header);
    table.AlignRight(lead.size());
    table.MayShrink(lead.size() + 1);
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (i != 0) {
            table.AddSeparator();
        }
        for (int id = 0; id < TableInspector::kStringCount; ++id) {
            const Lookup lookup = inspector.Find(languages[i], id);
            std::vector<std::string> row = {std::to_string(id), KeyOf(id), SourceCell(lookup),
                                            Printable(std::wstring_view(lookup.text))};
            if (!one) {
                row.insert(row.begin(), {LocaleOf(languages[i]), Hex(static_cast<std::uint32_t>(languages[i]))});
            }
            table.AddRow(std::move(row));
        }
    }
    Print(table.Render(options.width ? *options.width : TerminalColumns()));
    return kExitOk;
}

std::string Count(std::size_t count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

// One line on why `ids` of a language hold placeholders, all supplied by
// `share`'s file: what is wrong with that file, and which later files of the
// language have texts for them that the placeholders block.
std::string MissingNote(const Coverage& language, const std::vector<int>& ids, const FileShare* share,
                        const FileFacts* facts) {
    std::string note = LocaleOf(language.languageID) + " (" + FileList(FilesOf(language)) + "): missing ";
    if (ids.size() == 1) {
        note += KeyOf(ids[0]) + ", lookups return \"" + Utf8FromWide(TableInspector::Placeholder(ids[0])) + "\"";
    } else {
        note += ids.size() == TableInspector::kStringCount ? "all 24 keys" : std::to_string(ids.size()) + " keys";
    }
    if (share != nullptr) {
        const std::string name = Shown(share->file->name);
        std::vector<const TableFile*> blocked;
        for (const FileShare& later : language.files) {
            if (&later != share && std::any_of(ids.begin(), ids.end(), [&later](int id) {
                    return later.entries[static_cast<std::size_t>(id)] == stringtable::Entry::kText;
                })) {
                blocked.push_back(later.file);
            }
        }
        if (facts != nullptr && !facts->problem.empty()) {
            note += ", because " + name + " " + facts->problem;
        } else if (ids.size() > 1 || !blocked.empty() || language.files.size() > 1) {
            note += ", because " + name + " lacks " + (ids.size() == 1 ? "it" : "them");
        }
        if (!blocked.empty()) {
            note += "; its placeholders block the texts of " + FileList(blocked);
        }
    }
    if (ids.size() > 1 && ids.size() < TableInspector::kStringCount) {
        std::string keys;
        for (const int id : ids) {
            keys += (keys.empty() ? "" : ", ") + KeyOf(id);
        }
        note += ": " + keys;
    }
    return note + "\n";
}

std::string JsonKeys(const TableInspector& inspector, int language, const std::vector<int>& ids, bool withFallback) {
    std::string out = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        out += (i == 0 ? "" : ", ");
        out += "{\"id\": " + std::to_string(ids[i]) + ", \"key\": " + JsonString(KeyOf(ids[i]));
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
    const Loaded loaded = Load(dir, options.trace);
    const std::vector<Coverage> coverage = stringtable::CoverageOf(loaded.inspector, loaded.files);
    std::vector<FileFacts> facts;
    std::size_t skipped = 0;
    std::size_t warnings = 0;
    for (const TableFile& file : loaded.files) {
        facts.push_back(file.languageID != 0 ? stringtable::InspectTableFile(file.path) : FileFacts{});
        skipped += file.languageID == 0 ? 1 : 0;
        warnings += facts.back().warning.empty() ? 0 : 1;
    }
    const auto factsOf = [&](const TableFile* file) {
        return &facts[static_cast<std::size_t>(file - loaded.files.data())];
    };
    std::size_t missing = 0;
    std::size_t empty = 0;
    for (const auto& language : coverage) {
        missing += language.missing.size();
        empty += language.empty.size();
        warnings += language.files.size() > 1 ? 1 : 0;
    }
    const bool passed = missing == 0 && !coverage.empty();
    const std::string defaultWarning = DefaultLanguageWarning(loaded);
    warnings += defaultWarning.empty() ? 0 : 1;

    if (options.json) {
        std::string out = "{\n";
        if (loaded.settings) {
            out += "  \"settings\": " + JsonString(*loaded.settings) + ",\n";
        }
        const int fallback = loaded.inspector.GetDefaultLangID();
        const std::string fallbackLocale = LocaleOf(fallback);
        out += "  \"directory\": " + JsonString(loaded.directory) +
               ",\n  \"default_language\": {\"langid\": " + std::to_string(static_cast<std::uint32_t>(fallback)) +
               ", \"locale\": " + (fallbackLocale == "?" ? "null" : JsonString(fallbackLocale)) + ", \"source\": " +
               JsonString(loaded.settingsFacts.defaultFromSettings ? "EUQDefaultLangID" : "built-in") +
               ", \"reason\": " + JsonOrNull(loaded.settingsFacts.defaultProblem) +
               ", \"loaded\": " + (loaded.inspector.IsLoaded(fallback) ? "true" : "false") +
               ", \"warning\": " + JsonOrNull(defaultWarning) + "},\n  \"languages\": [";
        for (std::size_t i = 0; i < coverage.size(); ++i) {
            const Coverage& language = coverage[i];
            std::string files;
            for (const FileShare& share : language.files) {
                files += (files.empty() ? "" : ", ") + JsonString(Utf8FromWide(share.file->name));
            }
            std::string suppliers;
            for (const int supplier : language.supplier) {
                suppliers +=
                    std::string(suppliers.empty() ? "" : ", ") +
                    (supplier < 0
                         ? "null"
                         : JsonString(Utf8FromWide(language.files[static_cast<std::size_t>(supplier)].file->name)));
            }
            out += (i == 0 ? "\n" : ",\n");
            out += "    {\"locale\": " + JsonString(LocaleOf(language.languageID)) +
                   ", \"langid\": " + std::to_string(language.languageID) + ", \"files\": [" + files +
                   "], \"present\": " + std::to_string(language.present.size()) +
                   ", \"empty\": " + JsonKeys(loaded.inspector, language.languageID, language.empty, true) +
                   ", \"missing\": " + JsonKeys(loaded.inspector, language.languageID, language.missing, false) +
                   ",\n     \"suppliers\": [" + suppliers + "]}";
        }
        out += coverage.empty() ? "],\n" : "\n  ],\n";
        out += "  \"files\": [";
        for (std::size_t i = 0; i < loaded.files.size(); ++i) {
            const TableFile& file = loaded.files[i];
            const FileShare* share = nullptr;
            for (const auto& language : coverage) {
                for (const FileShare& candidate : language.files) {
                    share = candidate.file == &file ? &candidate : share;
                }
            }
            out += std::string(i == 0 ? "\n" : ",\n") + "    {\"file\": " + JsonString(Utf8FromWide(file.name)) +
                   ", \"langid\": " + (file.languageID != 0 ? std::to_string(file.languageID) : "null") +
                   ", \"skipped\": " + JsonOrNull(file.skipReason) +
                   ", \"encoding\": " + JsonOrNull(facts[i].encoding) +
                   ", \"problem\": " + JsonOrNull(facts[i].problem) + ", \"warning\": " + JsonOrNull(facts[i].warning);
            if (share != nullptr) {
                out += ", \"texts\": " + std::to_string(share->texts) +
                       ", \"placeholders\": " + std::to_string(share->placeholders) +
                       ", \"blocked\": " + std::to_string(share->blocked) +
                       ", \"hidden\": " + std::to_string(share->hidden);
            }
            out += "}";
        }
        out += loaded.files.empty() ? "],\n" : "\n  ],\n";
        out += "  \"summary\": {\"languages\": " + std::to_string(coverage.size()) +
               ", \"missing\": " + std::to_string(missing) + ", \"empty\": " + std::to_string(empty) +
               ", \"skipped\": " + std::to_string(skipped) + ", \"warnings\": " + std::to_string(warnings) + "},\n";
        out += std::string("  \"ok\": ") + (passed ? "true" : "false") + "\n}\n";
        Print(out);
        return passed ? kExitOk : kExitFindings;
    }

    PrintSettings(loaded, false);
    Table table({"LOCALE", "LANGID", "FILES", "PRESENT", "EMPTY", "MISSING"});
    table.AlignRight(3);
    table.AlignRight(4);
    table.AlignRight(5);
    for (const auto& language : coverage) {
        table.AddRow({LocaleOf(language.languageID), Hex(static_cast<std::uint32_t>(language.languageID)),
                      FileList(FilesOf(language), ","), std::to_string(language.present.size()),
                      std::to_string(language.empty.size()), std::to_string(language.missing.size())});
    }
    std::string out = coverage.empty() ? "" : table.Render();
    std::string notes = defaultWarning.empty() ? "" : "warning: " + defaultWarning + "\n";
    for (std::size_t i = 0; i < loaded.files.size(); ++i) {
        if (!facts[i].warning.empty()) {
            notes += "warning: " + Shown(loaded.files[i].name) + ": " + facts[i].warning + "\n";
        }
    }
    for (const auto& language : coverage) {
        if (language.files.size() > 1) {
            notes += "warning: " + LocaleOf(language.languageID) + " (" +
                     Hex(static_cast<std::uint32_t>(language.languageID)) +
                     ") comes from several files, merged in this order; the first file that has a key decides it, "
                     "even with a placeholder" +
                     (language.languageID == TableInspector::LANG_ID_EN ? " (and English is every language's fallback)"
                                                                        : "") +
                     ":\n";
            for (const FileShare& share : language.files) {
                notes += "  " + Shown(share.file->name) + ": supplies " +
                         Count(static_cast<std::size_t>(share.texts), "text") + ", " +
                         Count(static_cast<std::size_t>(share.placeholders), "placeholder");
                if (share.blocked != 0) {
                    notes +=
                        "; placeholders of an earlier file block " + std::to_string(share.blocked) + " of its texts";
                }
                if (share.hidden != 0) {
                    notes += "; texts of an earlier file hide " + std::to_string(share.hidden) + " of its texts";
                }
                notes += "\n";
            }
        }
        // Missing keys grouped by the file whose placeholder holds them.
        for (int supplier = -1; supplier < static_cast<int>(language.files.size()); ++supplier) {
            std::vector<int> ids;
            for (const int id : language.missing) {
                ids.insert(ids.end(), language.supplier[static_cast<std::size_t>(id)] == supplier ? 1 : 0, id);
            }
            if (!ids.empty()) {
                const FileShare* share = supplier < 0 ? nullptr : &language.files[static_cast<std::size_t>(supplier)];
                notes += MissingNote(language, ids, share, share != nullptr ? factsOf(share->file) : nullptr);
            }
        }
        for (const int id : language.empty) {
            const Lookup lookup = loaded.inspector.Find(language.languageID, id);
            notes += LocaleOf(language.languageID) + " (" + FileList(FilesOf(language)) + "): empty " + KeyOf(id) +
                     ", lookups fall back to ";
            notes += lookup.source == stringtable::Source::kNone ? std::string("nothing (an empty text)")
                                                                 : SourceCell(lookup);
            notes += "\n";
        }
    }
    for (const TableFile& file : loaded.files) {
        if (file.languageID == 0) {
            notes += "skipped " + Shown(file.name) + ": " + file.skipReason + "\n";
        }
    }
    if (!notes.empty()) {
        out += (out.empty() ? "" : "\n") + notes;
    }
    out += (out.empty() ? "" : "\n") + Count(coverage.size(), "language") + ", " + std::to_string(missing) +
           " missing, " + std::to_string(empty) + " empty, " + std::to_string(skipped) + " skipped, " +
           std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
    out += coverage.empty() ? ": no string tables found\n" : "\n";
    Print(out);
    return passed ? kExitOk : kExitFindings;
}

int Locale(const Options& options) {
    AllowOptions(options, false, false, false);
    RequireArguments(options, 1, SIZE_MAX, "at least one locale NAME");
    stringtable::TraceEcho echo(options.trace);
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
                      Printable(converter.LangIDToLocale(language).str())});
    }
    Print(table.Render());
    return allConverted ? kExitOk : kExitFindings;
}

int LangID(const Options& options) {
    AllowOptions(options, false, false, false);
    RequireArguments(options, 1, SIZE_MAX, "at least one language ID");
    stringtable::TraceEcho echo(options.trace);
    const CUtilLocaleLCIDConverter converter;
    Table table({"LANGID", "DECIMAL", "LOCALE"});
    table.AlignRight(1);
    bool allConverted = true;
    for (const auto& text : options.arguments) {
        const auto value = ParseNumber(text, 0xffffffffu);
        if (!value) {
            allConverted = false;
            table.AddRow({Printable(text), "-", "(not a language ID: 0x0404 or 1028)"});
            continue;
        }
        const auto id = static_cast<std::uint32_t>(*value);
        const std::string locale = Printable(converter.LangIDToLocale(id).str());
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
        const auto value = ParseNumber(idText, TableInspector::kStringCount - 1);
        if (!value) {
            throw UsageError("'" + Printable(idText) + "' is neither a string ID (0-23) nor a key name");
        }
        stringID = static_cast<int>(*value);
    }
    const Loaded loaded = Load(options.dir, options.trace);
    const std::wstring text = WideFromUtf8(options.arguments[1]);
    const int answer = loaded.inspector.GetStringLangIDEx(stringID, text.c_str());
    // No table is ever stored under language 0, so a copy whose default is 0
    // tells a match in the default language from no match at all.
    TableInspector probe(loaded.inspector);
    probe.OverrideDefaultLangID(0);
    const bool matched = probe.GetStringLangIDEx(stringID, text.c_str()) != 0;
    std::string line = Hex(static_cast<std::uint32_t>(answer)) + "  " + LocaleOf(answer);
    if (!matched) {
        line += "  (no table lists the text; this is the default language)";
    }
    Print(line + "\n");
    return matched ? kExitOk : kExitFindings;
}

int Convert(const Options& options) {
    AllowOptions(options, false, false, false);
    RequireArguments(options, 2, 2, "INPUT OUTPUT");
    const std::string to = options.to.value_or("utf16le");
    const stringtable::Encoding target = to == "utf16le"    ? stringtable::Encoding::kUtf16Le
                                         : to == "utf8"     ? stringtable::Encoding::kUtf8
                                         : to == "utf8-bom" ? stringtable::Encoding::kUtf8Bom
                                                            : stringtable::Encoding::kWindows1252;
    if (target == stringtable::Encoding::kWindows1252) {
        throw UsageError("--to takes utf16le, utf8 or utf8-bom, not '" + Printable(to) + "'");
    }
    const std::string& input = options.arguments[0];
    const std::string& output = options.arguments[1];
    std::string problem;
    const std::optional<std::string> bytes = stringtable::ReadTableBytes(PathOf(input), &problem);
    if (!bytes) {
        throw Trouble("'" + Printable(input) + "' " + problem);
    }
    // Code points pass through one by one; CR and LF stay as they are, and
    // nothing else (U+2028, U+0085, form feed) ends a line.
    const stringtable::DecodedText decoded = stringtable::DecodeTable(*bytes);
    if (decoded.encoding == stringtable::Encoding::kWindows1252) {
        Complain("note: '" + Printable(input) + "' is not valid UTF-8 (first bad byte at offset " +
                 std::to_string(decoded.firstBadByte) + "); read as Windows-1252");
    }
    std::size_t bad = 0;
    const std::optional<std::string> encoded = stringtable::EncodeTable(decoded.text, target, &bad);
    if (!encoded) {
        throw Trouble("'" + Printable(input) + "' holds a lone surrogate (character " + std::to_string(bad) +
                      "), which " + to + " cannot hold; convert it to utf16le");
    }
    errno = 0;
    std::ofstream file(PathOf(output), std::ios::binary | std::ios::trunc);
    file.write(encoded->data(), static_cast<std::streamsize>(encoded->size()));
    file.close();
    if (!file) {
        throw Trouble("cannot write '" + Printable(output) + "': " + (errno != 0 ? std::strerror(errno) : "error"));
    }
    return kExitOk;
}

int Run(const std::vector<std::string>& argv) {
    const Options options = ParseArguments(argv);
    if (options.command == "help") {
        Print(kUsage);
        return kExitOk;
    }
    if (options.command.empty()) {
        throw UsageError("no command given");
    }
    const std::pair<const char*, int (*)(const Options&)> commands[] = {{"show", Show},     {"check", Check},
                                                                        {"locale", Locale}, {"langid", LangID},
                                                                        {"which", Which},   {"convert", Convert}};
    for (const auto& [name, command] : commands) {
        if (options.command == name) {
            return command(options);
        }
    }
    throw UsageError("unknown command '" + Printable(options.command) + "'");
}

// The arguments as UTF-8: on Windows from the wide command line, since the
// narrow argv holds only what the ANSI code page can spell.
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    (void)argc;
#else
    arguments.assign(argv, argv + argc);
#endif
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Byte for byte the same output as on Linux: no LF to CR LF translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    stringtable::InitDisplayWidths();
    int status = kExitOk;
    try {
        status = Run(Arguments(argc, argv));
    } catch (const Trouble& trouble) {
        Complain(trouble.message());
        status = kExitTrouble;
    } catch (const UsageError& error) {
        Complain(error.message() + "\nRun 'stringtable --help' for usage.");
        status = kExitTrouble;
    } catch (const std::exception& error) {
        Complain(error.what());
        status = kExitTrouble;
    }
    if (std::fflush(stdout) != 0 && g_writeError == 0) {
        g_writeError = errno != 0 ? errno : EIO;
    }
    // A reader that went away (stringtable show | head) is no error to report.
    if (g_writeError != 0 && g_writeError != EPIPE) {
        Complain(std::string("cannot write to standard output: ") + std::strerror(g_writeError));
        return kExitTrouble;
    }
    return status;
}
