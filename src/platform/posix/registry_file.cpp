// The .reg file format for the Linux registry stand-in, in the order a file is
// read: decoding and lines, value lines, key lines, then the whole-file parser
// and lookups. The parser follows what reg import accepts: a malformed value
// or key line is skipped on its own, and only a file whose header or encoding
// is wrong fails as a whole. Every step is linear in the input, so a hostile
// file costs time in proportion to its size and nothing more.
#include "platform/posix/registry_file.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/common/text_codec.h"
#include "posix/win32_posix.h"

namespace basekit::detail {

namespace {

constexpr std::wstring_view kHeaderVersion5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeaderRegedit4 = L"REGEDIT4";

// ---------------------------------------------------------------------------
// Text, decoding and lines
// ---------------------------------------------------------------------------

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view TrimLeft(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return static_cast<int>(c) - '0';
    }
    const wchar_t upper = AsciiUpper(c);
    return upper >= L'A' && upper <= L'F' ? static_cast<int>(upper) - 'A' + 10 : -1;
}

// Reads 1..maxDigits hex digits at text[*pos]; false when there are none or
// more than maxDigits.
bool ParseHexNumber(std::wstring_view text, std::size_t* pos, std::size_t maxDigits, std::uint32_t* value) {
    std::size_t i = *pos;
    std::uint32_t result = 0;
    for (; i < text.size() && HexDigitValue(text[i]) >= 0; ++i) {
        if (i - *pos == maxDigits) {
            return false;
        }
        result = (result << 4) | static_cast<std::uint32_t>(HexDigitValue(text[i]));
    }
    if (i == *pos) {
        return false;
    }
    *pos = i;
    *value = result;
    return true;
}

// The file's text. The shared decoder's rules (UTF-16LE, UTF-8 with or
// without a mark, else Windows-1252) with two exceptions from reg import: a
// UTF-16BE file is not read (its header cannot match), and a UTF-8 mark
// promises UTF-8, so bytes that are not UTF-8 after it refuse the file.
bool DecodeRegistryText(std::string_view bytes, std::wstring* text) {
    TextEncoding encoding = TextEncoding::Utf8;
    *text = DecodeTextFile(bytes, &encoding);
    if (encoding == TextEncoding::Utf16Be) {
        return false;
    }
    return encoding != TextEncoding::Utf8Bom || IsValidUtf8(bytes.substr(3));
}

// Takes the first line off `rest`; CRLF, LF and a lone CR each end a line.
bool TakeLine(std::wstring_view* rest, std::wstring_view* line) {
    if (rest->empty()) {
        return false;
    }
    const std::size_t end = rest->find_first_of(L"\r\n");
    *line = rest->substr(0, end);
    if (end == std::wstring_view::npos) {
        *rest = {};
        return true;
    }
    const bool crlf = (*rest)[end] == L'\r' && rest->substr(end + 1, 1) == L"\n";
    rest->remove_prefix(end + (crlf ? 2 : 1));
    return true;
}

// UTF-16LE bytes of `text`, as the registry stores strings.
std::string Utf16LeBytes(std::wstring_view text) {
    std::string data;
    for (const wchar_t c : text) {
        ForEachUtf16Unit(static_cast<char32_t>(c), [&data](char16_t unit) {
            data += static_cast<char>(unit & 0xFFu);
            data += static_cast<char>(unit >> 8);
        });
    }
    return data;
}

// ---------------------------------------------------------------------------
// Value lines
// ---------------------------------------------------------------------------

struct ParsedValue {
    std::wstring name;
    bool remove = false;
    RegistryValue value;
};

// A value is complete when only blanks, or blanks and a "; comment", follow it.
bool IsEndOfValue(std::wstring_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == L';';
}

// Reads a quoted string whose opening quote is at text[*pos - 1]. reg import
// knows the escapes \\ \" \n \r; any other escape, or a missing closing quote,
// rejects the string.
bool ParseQuoted(std::wstring_view text, std::size_t* pos, std::wstring* out) {
    for (std::size_t i = *pos; i < text.size();) {
        const wchar_t c = text[i++];
        if (c == L'"') {
            *pos = i;
            return true;
        }
        if (c != L'\\') {
            *out += c;
            continue;
        }
        const wchar_t escaped = i < text.size() ? text[i++] : L'\0';
        if (escaped == L'\\' || escaped == L'"') {
            *out += escaped;
        } else if (escaped == L'n' || escaped == L'r') {
            *out += escaped == L'n' ? L'\n' : L'\r';
        } else {
            return false;
        }
    }
    return false;
}

// Comma-separated bytes of 1 or 2 hex digits, blanks allowed around them. A
// trailing comma is accepted (continued data ends in one when the file ends),
// and a ';' ends the data.
bool ParseHexBytes(std::wstring_view text, std::string* out) {
    for (std::size_t i = 0;; ++i) { // i steps over the comma
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        if (i == text.size() || text[i] == L';') {
            return true;
        }
        std::uint32_t byte = 0;
        if (!ParseHexNumber(text, &i, 2, &byte)) {
            return false;
        }
        *out += static_cast<char>(byte);
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        if (i == text.size() || text[i] == L';') {
            return true;
        }
        if (text[i] != L',') {
            return false;
        }
    }
}

// The hex data starting at `first`, joined with its continuation lines: a line
// ending in '\' continues on the next one, whose leading blanks are skipped.
std::wstring JoinContinuedHex(std::wstring_view first, std::wstring_view* rest) {
    std::wstring joined(first);
    for (std::wstring_view next;;) {
        // Each search stops within the text appended last, because a line of
        // blanks does not continue: long chains cost linear time.
        const std::size_t last = joined.find_last_not_of(L" \t");
        if (last == std::wstring::npos || joined[last] != L'\\') {
            return joined;
        }
        joined.resize(last); // blanks before the '\' stay; ParseHexBytes skips them
        if (!TakeLine(rest, &next)) {
            return joined;
        }
        joined.append(TrimLeft(next));
    }
}

// In REGEDIT4 files, expandable and multi-string data are ANSI bytes; the
// registry stores them as UTF-16LE. Our ANSI is what the file itself uses
// without a byte-order mark: UTF-8 when valid, else Windows-1252.
std::string AnsiToUtf16Data(const std::string& bytes) {
    return Utf16LeBytes(DecodeUnmarkedText(bytes));
}

// Reads what follows "dword:": one optional blank, then 1..8 hex digits.
bool ParseDword(std::wstring_view rest, std::string* data) {
    if (!rest.empty() && IsBlank(rest.front())) {
        rest.remove_prefix(1); // one blank only: "dword:  1" is dropped
    }
    std::size_t end = 0;
    std::uint32_t number = 0;
    if (!ParseHexNumber(rest, &end, 8, &number) || !IsEndOfValue(rest.substr(end))) {
        return false;
    }
    for (int shift = 0; shift < 32; shift += 8) {
        *data += static_cast<char>((number >> shift) & 0xFFu); // little-endian, as the registry stores it
    }
    return true;
}

// Reads what follows '=': "text", dword:, hex: or hex(N): data. The data of a
// hex line may continue on the following lines, taken from `rest`.
bool ParseValueData(std::wstring_view text, std::wstring_view* rest, bool regedit4, RegistryValue* value) {
    if (StartsWith(text, L"\"")) {
        std::size_t end = 1;
        std::wstring string;
        if (!ParseQuoted(text, &end, &string) || !IsEndOfValue(text.substr(end))) {
            return false;
        }
        value->type = REG_SZ;
        value->data = Utf16LeBytes(string) + std::string(2, '\0');
        return true;
    }
    if (StartsWith(text, L"dword:")) {
        value->type = REG_DWORD;
        return ParseDword(text.substr(6), &value->data);
    }
    std::size_t dataStart = 4; // after "hex:", or after "hex(" before the type
    if (StartsWith(text, L"hex:")) {
        value->type = REG_BINARY;
    } else if (StartsWith(text, L"hex(") && ParseHexNumber(text, &dataStart, 8, &value->type) &&
               text.substr(dataStart, 2) == L"):") {
        dataStart += 2;
    } else {
        return false;
    }
    if (!ParseHexBytes(JoinContinuedHex(text.substr(dataStart), rest), &value->data)) {
        return false;
    }
    if (regedit4 && (value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ)) {
        value->data = AnsiToUtf16Data(value->data);
    }
    return true;
}

// Parses a value line (left-trimmed, starting with '"' or '@'). False means
// reg import would drop it.
bool ParseValueLine(std::wstring_view line, std::wstring_view* rest, bool regedit4, ParsedValue* parsed) {
    std::size_t pos = 1;
    if (line.front() == L'"' && !ParseQuoted(line, &pos, &parsed->name)) {
        return false;
    }
    std::wstring_view text = TrimLeft(line.substr(pos));
    if (!StartsWith(text, L"=")) {
        return false;
    }
    text = TrimLeft(text.substr(1));
    if (StartsWith(text, L"-")) {
        parsed->remove = true;
        return IsEndOfValue(text.substr(1));
    }
    return ParseValueData(text, rest, regedit4, &parsed->value);
}

// ---------------------------------------------------------------------------
// Key lines and lookups
// ---------------------------------------------------------------------------

// Splits a '\'-separated path into its non-empty components. False when the
// path is deeper than the registry allows or a name is too long.
bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring_view>* components) {
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        if (end > start) {
            if (end - start > kMaxRegistryKeyNameChars || components->size() == kMaxRegistryDepth) {
                return false;
            }
            components->push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

RegistryNode* FindChild(const RegistryNode& parent, std::wstring_view name) {
    const auto it = parent.subkeys.find(FoldRegistryName(name));
    return it == parent.subkeys.end() ? nullptr : it->second.get();
}

// Applies a key line (left-trimmed, starting with '[') and returns the key that
// the following values go to, or null when they are to be skipped: after a
// malformed line, a key under another root, or a deletion.
RegistryNode* ApplyKeyLine(RegistryNode& root, std::wstring_view line) {
    const std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos) {
        return nullptr;
    }
    std::wstring_view path = line.substr(1, close - 1);
    const bool remove = StartsWith(path, L"-");
    path.remove_prefix(remove ? 1 : 0);
    const std::size_t separator = path.find(L'\\');
    const std::wstring rootName = FoldRegistryName(path.substr(0, separator));
    std::vector<std::wstring_view> components;
    if ((rootName != L"HKEY_LOCAL_MACHINE" && rootName != L"HKLM") ||
        (separator != std::wstring_view::npos && !SplitKeyPath(path.substr(separator + 1), &components))) {
        return nullptr;
    }
    if (remove) {
        // The root itself cannot be deleted; a missing key is nothing to do.
        RegistryNode* parent = &root;
        for (std::size_t i = 0; parent != nullptr && i + 1 < components.size(); ++i) {
            parent = FindChild(*parent, components[i]);
        }
        if (parent != nullptr && !components.empty()) {
            parent->subkeys.erase(FoldRegistryName(components.back()));
        }
        return nullptr;
    }
    // Like reg import, create the missing keys along the way.
    RegistryNode* node = &root;
    for (const std::wstring_view component : components) {
        auto& slot = node->subkeys[FoldRegistryName(component)];
        if (!slot) {
            slot = std::make_unique<RegistryNode>();
        }
        node = slot.get();
    }
    return node;
}

} // namespace

std::wstring FoldRegistryName(std::wstring_view name) {
    std::wstring folded(name);
    for (wchar_t& c : folded) {
        c = AsciiUpper(c);
    }
    return folded;
}

bool ParseRegistryFile(std::string_view bytes, RegistryNode* root) {
    std::wstring text;
    if (!DecodeRegistryText(bytes, &text)) {
        return false;
    }
    std::wstring_view rest = text;
    std::wstring_view line;
    if (!TakeLine(&rest, &line)) {
        return false;
    }
    line = TrimLeft(line);
    if (line != kHeaderVersion5 && line != kHeaderRegedit4) {
        return false;
    }
    const bool regedit4 = line == kHeaderRegedit4;
    RegistryNode* current = nullptr; // values before the first key line go nowhere
    while (TakeLine(&rest, &line)) {
        line = TrimLeft(line);
        if (StartsWith(line, L"[")) {
            current = ApplyKeyLine(*root, line);
        } else if (StartsWith(line, L"\"") || StartsWith(line, L"@")) {
            // Parsed even without a key, so that its continuation lines are consumed.
            ParsedValue parsed;
            if (!ParseValueLine(line, &rest, regedit4, &parsed) || current == nullptr) {
                continue;
            }
            // A later line for a name replaces the earlier one, or deletes it.
            std::wstring name = FoldRegistryName(parsed.name);
            if (parsed.remove) {
                current->values.erase(name);
            } else {
                current->values[std::move(name)] = std::move(parsed.value);
            }
        }
        // Anything else (blank lines, ';' comments, stray text) is skipped, as reg import does.
    }
    return true;
}

const RegistryNode* FindRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath) {
    const RegistryNode* node = &root;
    for (std::size_t start = 0; node != nullptr && start < subkeyPath.size();) {
        const std::size_t end = std::min(subkeyPath.find(L'\\', start), subkeyPath.size());
        if (end > start) {
            node = FindChild(*node, subkeyPath.substr(start, end - start));
        }
        start = end + 1;
    }
    return node;
}

} // namespace basekit::detail
