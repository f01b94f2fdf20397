// Feeds arbitrary bytes to the Linux registry stand-in's .reg parser, in
// memory. Besides crashes and undefined behaviour it checks the parsed tree:
// every key is found again by its path and by its name in other case, names
// are folded and within the registry's limits, and a refused file leaves no
// keys behind. (The parser keeps no state between calls; a second parse of
// each input to compare would halve the executions.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/registry_file.h"

namespace {

using namespace basekit::detail;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "registry_file_fuzz: %s\n", what);
        std::abort();
    }
}

std::wstring AsciiLower(std::wstring text) {
    for (wchar_t& c : text) {
        c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    return text;
}

// Walks the tree below `node`, whose path from the root is `path` at `depth`.
// Each key is found from its parent by its name in lower case with a trailing
// separator, and each leaf from the root by its whole path.
void CheckKey(const RegistryNode& root, const RegistryNode& node, const std::wstring& path, std::size_t depth) {
    Check(depth <= kMaxRegistryDepth, "a key deeper than the registry allows");
    Check(!node.subkeys.empty() || FindRegistryKey(root, path) == &node, "a key not found by its path");
    for (const auto& [name, value] : node.values) {
        Check(name == FoldRegistryName(name), "a value name that is not folded");
    }
    for (const auto& [name, child] : node.subkeys) {
        Check(!name.empty() && name.size() <= kMaxRegistryKeyNameChars, "a key name out of limits");
        Check(name == FoldRegistryName(name) && name.find(L'\\') == std::wstring::npos, "a malformed key name");
        Check(FindRegistryKey(node, AsciiLower(name) + L"\\") == child.get(), "a key not found in other case");
        CheckKey(root, *child, path.empty() ? name : path + L"\\" + name, depth + 1);
    }
}

} // namespace

// One input allocates a few kilobytes and keeps nothing, so a 16 MiB
// quarantine still catches any use after free within it; the default 256 MiB
// makes every allocation land on fresh pages, and page faults then cost more
// than the parse.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegistryNode root;
    const bool parsed = ParseRegistryFile(bytes, &root);
    Check(parsed || (root.values.empty() && root.subkeys.empty()), "a refused file left keys behind");
    CheckKey(root, root, L"", 0);
    return 0;
}
