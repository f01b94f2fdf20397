// The Linux registry stand-in's file format: a parser that turns the bytes of
// a .reg file (as `reg export` writes it and `reg import` reads it) into an
// in-memory tree of HKEY_LOCAL_MACHINE, lookups in that tree, and an exporter
// that writes a subtree back in the export format. Nothing here touches the
// file system, so a fuzz harness can feed the parser arbitrary bytes.
// Internal to the library.
#ifndef UTIL_STRINGLOADER_REGISTRY_FILE_H
#define UTIL_STRINGLOADER_REGISTRY_FILE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace basekit::detail {

// Windows limits: a key name has at most 255 characters and the tree is at
// most 512 levels deep. Key lines beyond either limit are ignored, which also
// keeps the recursive tree code within a small, fixed stack depth.
constexpr std::size_t kMaxRegistryKeyNameChars = 255;
constexpr std::size_t kMaxRegistryDepth = 512;

// One value: its name as first written, its REG_* type and its raw bytes, as
// the Windows registry stores them (strings as UTF-16LE with their NUL).
struct RegistryValue {
    std::wstring name;
    std::uint32_t type = 0;
    std::string data;
};

// Maps are keyed by FoldRegistryName of the name, so lookups are
// case-insensitive and enumeration comes out sorted by upper-cased name.
using RegistryValueMap = std::map<std::wstring, RegistryValue>;

struct RegistryNode {
    std::wstring name; // as first written; empty for the root
    RegistryValueMap values;
    std::map<std::wstring, std::unique_ptr<RegistryNode>> subkeys;
};

enum class RegistryParseStatus {
    kOk,
    kBadEncoding, // a UTF-8 byte-order mark followed by bytes that are not UTF-8
    kBadHeader,   // line 1 is neither "REGEDIT4" nor "Windows Registry Editor Version 5.00"
};

struct RegistryParseResult {
    RegistryParseStatus status = RegistryParseStatus::kBadHeader;
    std::unique_ptr<RegistryNode> root; // HKEY_LOCAL_MACHINE; set only when status is kOk
};

// The file that holds HKEY_LOCAL_MACHINE: $VELMORA_REGISTRY when it is set and
// not empty, else /etc/velmora/registry.reg. Read at every call.
std::string RegistryFilePath();

// The case-insensitive form of a key or value name (ASCII letters folded to
// upper case, as the profile reader compares names).
std::wstring FoldRegistryName(std::wstring_view name);

// Parses a whole .reg file. Only a bad header or undecodable bytes fail;
// malformed lines and values are dropped one by one, as reg import does.
// Keys under roots other than HKEY_LOCAL_MACHINE are skipped.
RegistryParseResult ParseRegistryFile(std::string_view bytes);

// The key at `subkeyPath` below `root` ('\'-separated, matched
// case-insensitively; empty components are skipped), or null.
const RegistryNode* FindRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath);
RegistryNode* FindRegistryKey(RegistryNode& root, std::wstring_view subkeyPath);

// The subtree at `subkeyPath` below HKEY_LOCAL_MACHINE in the format reg
// export writes: UTF-16LE with a byte-order mark, CRLF line ends, every key
// with its full path (stored case), values sorted by name. REG_SZ data that
// is not plain NUL-terminated text is written as hex(1), so parsing the export
// gives back the same tree. Returns false
// (and leaves `out` alone) when the key does not exist.
bool ExportRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath, std::string* out);

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_REGISTRY_FILE_H
