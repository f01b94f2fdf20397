// Feeds arbitrary bytes to the Linux registry stand-in as a .reg file: straight
// to the parser, and through RegistryKey with VELMORA_REGISTRY naming a file
// that holds them, reading the loader's two settings values. A parsed tree
// must export, and the export must parse back to a tree that exports to the
// same bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "basekit.h"
#include "platform/posix/registry_file.h"
#include "win32_api.h"

namespace {

using namespace basekit::detail;

constexpr const wchar_t* kSettingsKeyPath = L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion";

std::string g_directory;
std::string g_file;

void RemoveFiles() {
    unlink(g_file.c_str());
    rmdir(g_directory.c_str());
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "registry_file_fuzz: %s\n", what);
        std::abort();
    }
}

void WriteFile(const std::uint8_t* data, std::size_t size) {
    const int fd = open(g_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0, "cannot create the temporary file");
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote = write(fd, data + done, size - done);
        Check(wrote > 0, "cannot write the temporary file");
        done += static_cast<std::size_t>(wrote);
    }
    close(fd);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory file system where there is one: every input is written once.
    std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/ul_fuzz_registry_XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "cannot create a temporary directory");
    g_directory = pattern;
    g_file = g_directory + "/registry.reg";
    setenv("VELMORA_REGISTRY", g_file.c_str(), 1);
    std::atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RegistryParseResult parsed = ParseRegistryFile(bytes);
    Check((parsed.status == RegistryParseStatus::kOk) == (parsed.root != nullptr), "a root without success");
    if (parsed.root != nullptr) {
        FindRegistryKey(*parsed.root, kSettingsKeyPath);
        std::string exported;
        if (ExportRegistryKey(*parsed.root, L"SOFTWARE", &exported)) {
            const RegistryParseResult again = ParseRegistryFile(exported);
            Check(again.status == RegistryParseStatus::kOk, "an export that does not parse");
            std::string second;
            Check(ExportRegistryKey(*again.root, L"SOFTWARE", &second), "an exported key is missing after parsing");
            Check(second == exported, "an export that parses to a different tree");
        }
    }

    WriteFile(data, size);
    basekit::RegistryKey key;
    const long opened = key.Open(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_READ | KEY_WOW64_64KEY);
    const bool found = parsed.root != nullptr && FindRegistryKey(*parsed.root, kSettingsKeyPath) != nullptr;
    Check((opened == 0) == found, "Open disagrees with the parser");
    if (opened == 0) {
        basekit::WideString homeDir(L"unchanged");
        const long textResult = key.QueryValue(L"HomeDir", homeDir);
        Check(textResult == 0 || homeDir.str() == L"unchanged", "a failed string query wrote its result");
        std::uint32_t languageID = 0x12345678;
        const long numberResult = key.QueryValue(languageID, L"EUQDefaultLangID");
        Check(numberResult == 0 || languageID == 0x12345678, "a failed number query wrote its result");
    }
    return 0;
}
