// The Linux registry stand-in's file format: a parser that turns the bytes of
// a .reg file (as `reg export` writes it and `reg import` reads it) into an
// in-memory tree of HKEY_LOCAL_MACHINE, and key lookups in that tree. Nothing
// here touches the file system, so a fuzz harness can feed the parser bytes.
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
// keeps the recursive tree destruction within a small, fixed stack depth.
constexpr std::size_t kMaxRegistryKeyNameChars = 255;
constexpr std::size_t kMaxRegistryDepth = 512;

// One value as the Windows registry stores it: its REG_* type and its raw
// bytes (strings as UTF-16LE with their NUL).
struct RegistryValue {
    std::uint32_t type = 0;
    std::string data;
};

// Both maps are keyed by FoldRegistryName of the name, so lookups are
// case-insensitive.
using RegistryValueMap = std::map<std::wstring, RegistryValue>;

struct RegistryNode {
    RegistryValueMap values;
    std::map<std::wstring, std::unique_ptr<RegistryNode>> subkeys;
};

// The file that holds HKEY_LOCAL_MACHINE: $VELMORA_REGISTRY when it is set and
// not empty, else /etc/velmora/registry.reg. Read at every call.
std::string RegistryFilePath();

// The case-insensitive form of a key or value name: ASCII letters in upper
// case, the rule the real registry's ASCII names follow.
std::wstring FoldRegistryName(std::wstring_view name);

// Parses a whole .reg file into `root` (HKEY_LOCAL_MACHINE, expected empty).
// False when line 1 is not a known header or a UTF-8 byte-order mark is
// followed by bytes that are not UTF-8; malformed lines are dropped one by
// one, as reg import does. Keys under roots other than HKEY_LOCAL_MACHINE are
// skipped.
bool ParseRegistryFile(std::string_view bytes, RegistryNode* root);

// The key at `subkeyPath` below `root` ('\'-separated, matched
// case-insensitively; empty components are skipped), or null.
const RegistryNode* FindRegistryKey(const RegistryNode& root, std::wstring_view subkeyPath);

} // namespace basekit::detail

#endif // UTIL_STRINGLOADER_REGISTRY_FILE_H
