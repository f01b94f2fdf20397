// Feeds arbitrary bytes to the Linux profile reader twice: straight to the
// parser (ProfileDocument::FromBytes), and as a string-table file read through
// GetPrivateProfileStringW the way the loader reads it (section "Strings", the
// 24 key names, a 1,024-character buffer). The two paths must agree, every
// result must be NUL-terminated and at most 1,023 characters, and a second
// read must give the same answer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Util_StringLoader.h"
#include "posix/profile_reader.h"
#include "win32_api.h"

namespace {

using basekit::detail::ProfileDocument;

constexpr DWORD kBufferChars = 1024;
constexpr wchar_t kUntouched = 0x2A2A; // fills the buffer so that writes past the answer show

class FuzzLoader : public CUtilStringLoader {
public:
    using CUtilStringLoader::s_IDStringMapping;
};

std::string g_directory;
std::string g_file;
std::wstring g_wideFile;

void RemoveFiles() {
    unlink(g_file.c_str());
    rmdir(g_directory.c_str());
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "profile_reader_fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

void WriteFile(const std::uint8_t* data, std::size_t size) {
    const int fd = open(g_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0, "cannot create the temporary file");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(fd, data + done, size - done);
        Check(wrote > 0, "cannot write the temporary file");
        done += static_cast<std::size_t>(wrote);
    }
    close(fd);
}

// The reader's answer for a value or a default: one pair of matching quotes
// removed, then cut to the buffer.
std::wstring Expected(std::wstring_view text) {
    if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return std::wstring(text.substr(0, kBufferChars - 1));
}

// Reads one value through the Win32 entry point and checks the buffer's shape.
std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText) {
    std::vector<wchar_t> buffer(kBufferChars, kUntouched);
    const DWORD length =
        GetPrivateProfileStringW(section, key, defaultText, buffer.data(), kBufferChars, g_wideFile.c_str());
    Check(length <= kBufferChars - 1, "more than 1,023 characters");
    Check(buffer[length] == L'\0', "no NUL after the answer");
    Check(std::wcslen(buffer.data()) == length, "a NUL inside the answer");
    for (std::size_t i = length + 1; i < kBufferChars; ++i) {
        Check(buffer[i] == kUntouched, "written past the answer");
    }
    return std::wstring(buffer.data(), length);
}

// Reads a name list (section == null lists sections, key == null lists keys).
std::vector<std::wstring> ReadList(const wchar_t* section) {
    std::vector<wchar_t> buffer(kBufferChars, kUntouched);
    const DWORD length =
        GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), kBufferChars, g_wideFile.c_str());
    // A list that fills the buffer exactly (names, their NULs and the final
    // NUL) is returned whole, size-1 long; a longer one is cut to size-2.
    Check(length <= kBufferChars - 1, "a list longer than the buffer");
    Check(buffer[length] == L'\0', "a list without its final NUL");
    // An empty key list falls back to the default text, "", with one NUL.
    Check(length == 0 || buffer[length - 1] == L'\0' || (length + 1 < kBufferChars && buffer[length + 1] == L'\0'),
          "a list without two NULs at its end");
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < length; i += names.back().size() + 1) {
        names.emplace_back(buffer.data() + i);
    }
    return names;
}

// The list that GetPrivateProfileStringW must write, when all of it fits;
// cut lists are checked for their shape only.
std::optional<std::vector<std::wstring>> Strings(const std::vector<std::wstring_view>& names) {
    std::size_t total = 1;
    std::vector<std::wstring> out;
    for (const auto name : names) {
        total += name.size() + 1;
        out.emplace_back(name);
    }
    return total <= kBufferChars ? std::optional(out) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory file system where there is one: every input is written once.
    std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/ul_fuzz_profile_XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "cannot create a temporary directory");
    g_directory = pattern;
    g_file = g_directory + "/strings.cfg";
    g_wideFile.assign(g_file.begin(), g_file.end());
    std::atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProfileDocument document = ProfileDocument::FromBytes(bytes);

    // A rewrite within one timestamp tick that keeps the size is not seen by
    // the parse cache, so every input starts from an empty cache.
    WriteFile(data, size);
    basekit::detail::ClearProfileCacheForTesting();

    for (const auto& row : FuzzLoader::s_IDStringMapping) {
        const std::wstring defaultText = std::wstring(L"Cannot load string:") + row.keyName;
        const std::wstring first = Read(L"Strings", row.keyName, defaultText.c_str());
        const std::wstring second = Read(L"Strings", row.keyName, defaultText.c_str());
        Check(first == second, "a second read differs from the first");
        const auto value = document.Find(L"Strings", row.keyName);
        Check(first == Expected(value ? *value : std::wstring_view(defaultText)),
              "the file and the parsed bytes disagree");
    }

    const auto sections = Strings(document.SectionNames());
    const auto keys = Strings(document.KeyNames(L"Strings"));
    const auto readSections = ReadList(nullptr);
    const auto readKeys = ReadList(L"Strings");
    Check(!sections || readSections == *sections, "the section list differs");
    Check(!keys || readKeys == *keys, "the key list differs");
    return 0;
}
