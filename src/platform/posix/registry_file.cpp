// The .reg file format for the Linux registry stand-in: decoding and line
// splitting, value lines, key lines, the whole-file parser, lookups and the
// exporter. The parser follows what reg import accepts: a malformed value or
// key line is skipped on its own, and only a file whose header or encoding is
// wrong fails as a whole. Every step is linear in the input, so hostile files
// cost time in proportion to their size and nothing more.
#include "platform/posix/registry_file.h"

#include <utility>
#include <vector>

#include "platform/common/text_codec.h"

namespace basekit::detail {

namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr std::wstring_view kHeaderVersion5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeaderRegedit4 = L"REGEDIT4";
constexpr std::wstring_view kRootName = L"HKEY_LOCAL_MACHINE";
constexpr std::wstring_view kRootShortName = L"HKLM";
constexpr std::wstring_view kLineEnd = L"\r\n";

// reg export breaks hex data after the comma that brings a line to this many
// characters, so that no line, its trailing '\' included, exceeds 80.
constexpr std::size_t kHexBreakColumn = 77;

// ---------------------------------------------------------------------------
// Text helpers, decoding and line splitting
// ---------------------------------------------------------------------------

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view TrimLeft(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EqualsFolded(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return static_cast<int>(c - L'0');
    }
    if (c >= L'a' && c <= L'f') {
        return static_cast<int>(c - L'a') + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return static_cast<int>(c - L'A') + 10;
    }
    return -1;
}

// Reads 1..maxDigits hex digits at text[*pos]; false when there are none or
// more than maxDigits.
bool ParseHexNumber(std::wstring_view text, std::size_t* pos, std::size_t maxDigits, std::uint32_t* value) {
    std::size_t i = *pos;
    std::uint32_t result = 0;
    while (i < text.size() && HexDigitValue(text[i]) >= 0) {
        if (i - *pos == maxDigits) {
            return false;
        }
        result = (result << 4) | static_cast<std::uint32_t>(HexDigitValue(text[i]));
        ++i;
    }
    if (i == *pos) {
        return false;
    }
    *pos = i;
    *value = result;
    return true;
}

// The file's bytes as text. A UTF-16LE byte-order mark selects UTF-16LE (an
// odd trailing byte is dropped); a UTF-8 mark selects UTF-8, and then the rest
// must be valid UTF-8. Without a mark the text is UTF-8 when all of it is
// valid UTF-8, else Windows-1252, the ANSI code page of a Western system. A
// UTF-16BE mark is not recognised, as by reg import, so its header fails.
bool DecodeRegistryText(std::string_view bytes, std::wstring* text) {
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        *text = DecodeUtf16(bytes.substr(2), false);
        return true;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        const std::string_view rest = bytes.substr(3);
        if (!IsValidUtf8(rest)) {
            return false;
        }
        *text = DecodeUtf8(rest);
        return true;
    }
    *text = IsValidUtf8(bytes) ? DecodeUtf8(bytes) : DecodeCp1252(bytes);
    return true;
}

// Hands out the lines of a text; CRLF, LF and a lone CR each end a line.
class LineReader {
public:
    explicit LineReader(std::wstring_view text) : m_text(text) {}

    bool Next(std::wstring_view* line) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        const std::size_t end = m_text.find_first_of(L"\r\n", m_pos);
        if (end == std::wstring_view::npos) {
            *line = m_text.substr(m_pos);
            m_pos = m_text.size();
            return true;
        }
        *line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        if (m_text[end] == L'\r' && m_pos < m_text.size() && m_text[m_pos] == L'\n') {
            ++m_pos;
        }
        return true;
    }

private:
    std::wstring_view m_text;
    std::size_t m_pos = 0;
};

// ---------------------------------------------------------------------------
// Value data as the registry stores it
// ---------------------------------------------------------------------------

void AppendUtf16Unit(std::string& out, std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFFu);
    out += static_cast<char>((unit >> 8) & 0xFFu);
}

void AppendUtf16Le(std::string& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            AppendUtf16Unit(out, 0xD800 + (cp >> 10));
            AppendUtf16Unit(out, 0xDC00 + (cp & 0x3FFu));
        } else {
            AppendUtf16Unit(out, cp);
        }
    }
}

// REG_SZ data: the text in UTF-16LE with its terminating NUL.
std::string StringData(std::wstring_view text) {
    std::string data;
    data.reserve(2 * text.size() + 2);
    AppendUtf16Le(data, text);
    AppendUtf16Unit(data, 0);
    return data;
}

// ---------------------------------------------------------------------------
// Value lines
// ---------------------------------------------------------------------------

struct ParsedValue {
    std::wstring name;
    bool remove = false;
    std::uint32_t type = 0;
    std::string data;
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
    std::size_t i = *pos;
    while (i < text.size()) {
        const wchar_t c = text[i++];
        if (c == L'"') {
            *pos = i;
            return true;
        }
        if (c != L'\\') {
            *out += c;
            continue;
        }
        if (i == text.size()) {
            return false;
        }
        switch (text[i++]) {
        case L'\\':
            *out += L'\\';
            break;
        case L'"':
            *out += L'"';
            break;
        case L'n':
            *out += L'\n';
            break;
        case L'r':
            *out += L'\r';
            break;
        default:
            return false;
        }
    }
    return false;
}

// Comma-separated bytes of 1 or 2 hex digits, blanks allowed around them. A
// trailing comma is accepted (continued data ends in one when the file ends).
bool ParseHexBytes(std::wstring_view text, std::string* out) {
    std::size_t i = 0;
    for (;;) {
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
        ++i;
    }
}

// The hex data starting at `first`, joined with its continuation lines: a line
// ending in '\' continues on the next one, whose leading blanks are skipped.
std::wstring JoinContinuedHex(std::wstring_view first, LineReader& lines) {
    std::wstring joined(first);
    for (;;) {
        const std::size_t last = joined.find_last_not_of(L" \t");
        if (last == std::wstring::npos || joined[last] != L'\\') {
            return joined;
        }
        // Blanks before the '\' stay, and ParseHexBytes skips them. Each
        // search above stops within the text appended last, because a line
        // of blanks only does not continue: long chains cost linear time.
        joined.resize(last);
        std::wstring_view next;
        if (!lines.Next(&next)) {
            return joined;
        }
        joined.append(TrimLeft(next));
    }
}

// In REGEDIT4 files, expandable and multi-string data are ANSI bytes; the
// registry stores them as UTF-16LE. Our ANSI is what the rest of the file
// uses without a byte-order mark: UTF-8 when valid, else Windows-1252.
std::string AnsiToUtf16Data(std::string_view bytes) {
    const std::wstring text = IsValidUtf8(bytes) ? DecodeUtf8(bytes) : DecodeCp1252(bytes);
    std::string data;
    AppendUtf16Le(data, text);
    return data;
}

// Parses a value line (left-trimmed, starting with '"' or '@'), pulling hex
// continuation lines from `lines`. False means reg import would drop it.
bool ParseValueLine(std::wstring_view line, LineReader& lines, bool regedit4, ParsedValue* value) {
    std::size_t pos = 1;
    if (line.front() == L'"' && !ParseQuoted(line, &pos, &value->name)) {
        return false;
    }
    std::wstring_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != L'=') {
        return false;
    }
    rest = TrimLeft(rest.substr(1));

    if (StartsWith(rest, L"-")) {
        value->remove = true;
        return IsEndOfValue(rest.substr(1));
    }
    if (StartsWith(rest, L"\"")) {
        std::size_t end = 1;
        std::wstring text;
        if (!ParseQuoted(rest, &end, &text) || !IsEndOfValue(rest.substr(end))) {
            return false;
        }
        value->type = kRegSz;
        value->data = StringData(text);
        return true;
    }
    if (StartsWith(rest, L"dword:")) {
        rest.remove_prefix(6);
        if (!rest.empty() && IsBlank(rest.front())) {
            rest.remove_prefix(1); // one blank only: "dword:  1" is dropped
        }
        std::size_t end = 0;
        std::uint32_t number = 0;
        if (!ParseHexNumber(rest, &end, 8, &number) || !IsEndOfValue(rest.substr(end))) {
            return false;
        }
        value->type = kRegDword;
        value->data.clear();
        for (int shift = 0; shift < 32; shift += 8) {
            value->data += static_cast<char>((number >> shift) & 0xFFu);
        }
        return true;
    }
    if (StartsWith(rest, L"hex:")) {
        value->type = kRegBinary;
        rest.remove_prefix(4);
    } else if (StartsWith(rest, L"hex(")) {
        std::size_t end = 4;
        if (!ParseHexNumber(rest, &end, 8, &value->type) || rest.substr(end, 2) != L"):") {
            return false;
        }
        rest.remove_prefix(end + 2);
    } else {
        return false;
    }
    const std::wstring joined = JoinContinuedHex(rest, lines);
    if (!ParseHexBytes(joined, &value->data)) {
        return false;
    }
    if (regedit4 && (value->type == kRegExpandSz || value->type == kRegMultiSz)) {
        value->data = AnsiToUtf16Data(value->data);
    }
    return true;
}

void StoreValue(RegistryNode& key, ParsedValue&& parsed) {
    std::wstring folded = FoldRegistryName(parsed.name);
    if (parsed.remove) {
        key.values.erase(folded);
        return;
    }
    const auto it = key.values.find(folded);
    if (it != key.values.end()) {
        // A later line wins; the name keeps the spelling it was created with.
        it->second.type = parsed.type;
        it->second.data = std::move(parsed.data);
        return;
    }
    RegistryValue value{std::move(parsed.name), parsed.type, std::move(parsed.data)};
    key.values.emplace(std::move(folded), std::move(value));
}

// ---------------------------------------------------------------------------
// Key paths and key lines
// ---------------------------------------------------------------------------

// Splits a '\'-separated path into its non-empty components. False when the
// path is deeper than the registry allows or a name is too long.
bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring_view>* components) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) {
            end = path.size();
        }
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

template <typename Node> Node* FindChild(Node& parent, std::wstring_view name) {
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
    if (remove) {
        path.remove_prefix(1);
    }
    const std::size_t separator = path.find(L'\\');
    const std::wstring_view rootName = path.substr(0, separator);
    if (!EqualsFolded(rootName, kRootName) && !EqualsFolded(rootName, kRootShortName)) {
        return nullptr;
    }
    std::vector<std::wstring_view> components;
    if (separator != std::wstring_view::npos && !SplitKeyPath(path.substr(separator + 1), &components)) {
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
            slot->name = std::wstring(component);
        }
        node = slot.get();
    }
    return node;
}

template <typename Node> Node* FindKey(Node& root, std::wstring_view subkeyPath) {
    Node* node = &root;
    std::size_t start = 0;
    while (node != nullptr && start < subkeyPath.size()) {
        std::size_t end = subkeyPath.find(L'\\', start);
        if (end == std::wstring_view::npos) {
            end = subkeyPath.size();
        }
        if (end > start) {
            node = FindChild(*node, subkeyPath.substr(start, end - start));
        }
        start = end + 1;
    }
    return node;
}

// ---------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------

void AppendEscaped(std::wstring& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'"':
            out += L"\\\"";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        default:
            out += c;
            break;
        }
    }
}

void AppendHexDigits(std::wstring& out, std::uint32_t number, int digits) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kDigits[(number >> shift) & 0xFu];
    }
}

// True when string data is UTF-16LE text with exactly one NUL, at its end: the
// only REG_SZ data that "name"="text" reproduces. Other REG_SZ data (no NUL,
// inner NULs, an odd byte) is written as hex(1) so that nothing is lost.
bool IsPlainStringData(std::string_view data) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < data.size(); i += 2) {
        const bool nul = data[i] == '\0' && data[i + 1] == '\0';
        if (nul != (i + 2 == data.size())) {
            return false;
        }
    }
    return true;
}

void AppendValue(std::wstring& out, const RegistryValue& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += L'@';
    } else {
        out += L'"';
        AppendEscaped(out, value.name);
        out += L'"';
    }
    out += L'=';
    if (value.type == kRegSz && IsPlainStringData(value.data)) {
        out += L'"';
        AppendEscaped(out, DecodeUtf16(std::string_view(value.data).substr(0, value.data.size() - 2), false));
        out += L'"';
    } else if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        }
        out += L"dword:";
        AppendHexDigits(out, number, 8);
    } else {
        if (value.type == kRegBinary) {
            out += L"hex:";
        } else {
            out += L"hex(";
            int digits = 1;
            while (digits < 8 && (value.type >> (4 * digits)) != 0) {
                ++digits;
            }
            AppendHexDigits(out, value.type, digits);
            out += L"):";
        }
        std::size_t column = out.size() - lineStart;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            AppendHexDigits(out, static_cast<unsigned char>(value.data[i]), 2);
            if (i + 1 == value.data.size()) {
                break;
            }
            out += L',';
            column += 3;
            if (column >= kHexBreakColumn) {
                out += L"\\\r\n  ";
                column = 2;
            }
        }
    }
    out += kLineEnd;
}

// One block per key: "[path]", its values, an empty line; then its subkeys.
// Recursion is bounded by kMaxRegistryDepth.
void AppendKey(std::wstring& out, std::wstring& path, const RegistryNode& key) {
    out += L'[';
    out += path;
    out += L']';
    out += kLineEnd;
    for (const auto& entry : key.values) {
        AppendValue(out, entry.second);
    }
    out += kLineEnd;
    for (const auto& entry : key.subkeys) {
        const std::size_t length = path.size();
        path += L'\\';
        path += entry.second->name;
        AppendKey(out, path, *entry.second);
        path.resize(length);
    }
}

} // namespace

std::wstring FoldRegistryName(std::wstring_view name) {
    std::wstring folded(name);
    for (wchar_t& c : folded) {
        c = AsciiUpper(c);
    }
    return folded;
}

RegistryParseResult ParseRegistryFile(std::string_view bytes) {
    RegistryParseResult result;
    std::wstring text;
    if (!DecodeRegistryText(bytes, &text)) {
        result.status = RegistryParseStatus::kBadEncoding;
        return result;
    }
    LineReader lines(text);
    std::wstring_view line;
    if (!lines.Next(&line)) {
        return result;
    }
    line = TrimLeft(line);
    if (line != kHeaderVersion5 && line != kHeaderRegedit4) {
        return result;
    }
    const bool regedit4 = line == kHeaderRegedit4;

    auto root = std::make_unique<RegistryNode>();
    RegistryNode* current = nullptr; // values before the first key line go nowhere
    while (lines.Next(&line)) {
        line = TrimLeft(line);
        if (line.empty() || line.front() == L';') {
            continue;
        }
        if (line.front() == L'[') {
            current = ApplyKeyLine(*root, line);
            continue;
        }
        if (line.front() == L'"' || line.front() == L'@') {
            ParsedValue value;
            // Parse even without a key, so that continuation lines are consumed.
            if (ParseValueLine(line, lines, regedit4, &value) && current != nullptr) {
                StoreValue(*current, std::move(value));
            }
        }
        // Anything else is not a registry line; reg import skips it too.
    }
    result.status = RegistryParseStatus::kOk;
    result.root = std::move(root);
    return result;
}

const RegistryNode* FindRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath) {
    return FindKey(root, subkeyPath);
}

RegistryNode* FindRegistryKey(RegistryNode& root, std::wstring_view subkeyPath) {
    return FindKey(root, subkeyPath);
}

bool ExportRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath, std::string* out) {
    // The path is rebuilt from the stored names, so it shows their case.
    std::wstring path(kRootName);
    const RegistryNode* node = &root;
    std::size_t start = 0;
    while (start < subkeyPath.size()) {
        std::size_t end = subkeyPath.find(L'\\', start);
        if (end == std::wstring_view::npos) {
            end = subkeyPath.size();
        }
        if (end > start) {
            node = FindChild(*node, subkeyPath.substr(start, end - start));
            if (node == nullptr) {
                return false;
            }
            path += L'\\';
            path += node->name;
        }
        start = end + 1;
    }
    std::wstring text(kHeaderVersion5);
    text += kLineEnd;
    text += kLineEnd;
    AppendKey(text, path, *node);
    std::string bytes = "\xFF\xFE";
    AppendUtf16Le(bytes, text);
    *out = std::move(bytes);
    return true;
}

} // namespace basekit::detail
