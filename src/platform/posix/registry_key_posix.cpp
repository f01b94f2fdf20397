// The Linux half of basekit::RegistryKey. HKEY_LOCAL_MACHINE is a .reg file,
// named by $VELMORA_REGISTRY or else /etc/velmora/registry.reg, read afresh at
// every Open so that settings are always current. An open key owns a copy of
// its values; queries answer from it with RegGetValueW's codes.
// Divisions: reading the file, environment expansion, the class itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "basekit.h"
#include "platform/common/registry_open_hook.h"
#include "platform/common/text_codec.h"
#include "platform/posix/registry_file.h"
#include "posix/win32_posix.h"

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace basekit {

namespace {

// A registry file for one product is a few kilobytes. Anything larger than
// this is refused rather than decoded into several times its size in memory.
constexpr std::size_t kMaxRegistryFileBytes = std::size_t{16} << 20;

// Runs a step that allocates; running out of memory is a result, not a throw.
template <typename Step> long WithoutThrowing(Step step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// ---------------------------------------------------------------------------
// Reading the file
// ---------------------------------------------------------------------------

// Reads an open file whole: ERROR_ACCESS_DENIED when it is not a regular file
// (a directory, a FIFO, a device) or a read fails; ERROR_BADDB as soon as it
// is larger than we accept, so a huge file costs one limit's worth of reading.
long ReadWholeFile(int fd, std::string* bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return ERROR_ACCESS_DENIED;
    }
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count == 0) {
            return ERROR_SUCCESS;
        }
        if (count < 0 && errno != EINTR) {
            return ERROR_ACCESS_DENIED;
        }
        bytes->append(chunk, count > 0 ? static_cast<std::size_t>(count) : 0);
        if (bytes->size() > kMaxRegistryFileBytes) {
            return ERROR_BADDB;
        }
    }
}

// ERROR_FILE_NOT_FOUND when the file (or a directory on its path) does not
// exist, ERROR_ACCESS_DENIED when it cannot be opened. O_NONBLOCK keeps a FIFO
// from blocking the open; ReadWholeFile refuses it right after.
long ReadRegistryFile(std::string* bytes) {
    const std::string path = detail::RegistryFilePath();
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    const long result = ReadWholeFile(fd, bytes);
    ::close(fd);
    return result;
}

// ---------------------------------------------------------------------------
// Environment expansion for REG_EXPAND_SZ
// ---------------------------------------------------------------------------

// Windows environment names are case-insensitive: an exact match first, then
// the first variable whose name matches with ASCII letters folded.
bool LookupEnvironment(std::wstring_view name, std::wstring* value) {
    const std::string narrow = detail::EncodeUtf8(name);
    if (narrow.find_first_of(std::string_view("=\0", 2)) != std::string::npos) {
        return false;
    }
    const char* found = std::getenv(narrow.c_str());
    const auto sameLetters = [](char a, char b) {
        return detail::AsciiUpper(static_cast<unsigned char>(a)) == detail::AsciiUpper(static_cast<unsigned char>(b));
    };
    for (char** entry = environ; found == nullptr && entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view candidate(*entry);
        if (candidate.size() > narrow.size() && candidate[narrow.size()] == '=' &&
            std::equal(narrow.begin(), narrow.end(), candidate.begin(), sameLetters)) {
            found = *entry + narrow.size() + 1;
        }
    }
    if (found == nullptr) {
        return false;
    }
    // Environment values are bytes; paths must survive the trip back to bytes.
    *value = detail::FileNameToWide(found);
    return true;
}

// Expands %NAME% references the way RegGetValueW does for REG_EXPAND_SZ: a
// known name is replaced; an unknown one, "%%" and a lone '%' stay as written.
std::wstring ExpandEnvironment(std::wstring_view text) {
    std::wstring out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t open = text.find(L'%', pos);
        const std::size_t close = open == std::wstring_view::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        std::wstring value;
        const std::wstring_view name = text.substr(open + 1, close - open - 1);
        if (!name.empty() && LookupEnvironment(name, &value)) {
            out += value;
        } else {
            out.append(text.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    return out;
}

const detail::RegistryValue* FindValue(const void* key, const wchar_t* name) {
    const auto& values = *static_cast<const detail::RegistryValueMap*>(key);
    const auto it = values.find(detail::FoldRegistryName(name != nullptr ? name : L""));
    return it == values.end() ? nullptr : &it->second;
}

} // namespace

std::string detail::RegistryFilePath() {
    const char* variable = std::getenv("VELMORA_REGISTRY");
    return (variable != nullptr && *variable != '\0') ? variable : "/etc/velmora/registry.reg";
}

// ---------------------------------------------------------------------------
// RegistryKey
// ---------------------------------------------------------------------------

RegistryKey::~RegistryKey() {
    Close();
}

long RegistryKey::Open(HKEY__* root, const wchar_t* subkeyPath, std::uint32_t accessMask) {
    // Whatever this Open returns, the key held before is released, so IsOpen()
    // always tells whether the latest Open succeeded.
    Close();
    const long hookResult = detail::RunRegistryOpenHook(subkeyPath, accessMask);
    if (hookResult != ERROR_SUCCESS) {
        return hookResult;
    }
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_FILE_NOT_FOUND; // only HKEY_LOCAL_MACHINE is backed by the file
    }
    // The access mask restricts nothing here, and the WOW64 view flags
    // (KEY_WOW64_64KEY, KEY_WOW64_32KEY) have no meaning without a 32-bit view.
    const std::wstring_view path = subkeyPath != nullptr ? subkeyPath : L"";
    if (!path.empty() && path.front() == L'\\') {
        return ERROR_BAD_PATHNAME;
    }
    return WithoutThrowing([&]() -> long {
        std::string bytes;
        const long readResult = ReadRegistryFile(&bytes);
        if (readResult != ERROR_SUCCESS) {
            return readResult;
        }
        detail::RegistryNode machine; // the whole of HKEY_LOCAL_MACHINE
        if (!detail::ParseRegistryFile(bytes, &machine)) {
            return ERROR_BADDB;
        }
        const detail::RegistryNode* node = detail::FindRegistryKey(machine, path);
        if (node == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        m_key = new detail::RegistryValueMap(node->values);
        return ERROR_SUCCESS;
    });
}

long RegistryKey::QueryValue(const wchar_t* name, WideString& value) const {
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return WithoutThrowing([&]() -> long {
        const detail::RegistryValue* stored = FindValue(m_key, name);
        if (stored == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (stored->type != REG_SZ && stored->type != REG_EXPAND_SZ) {
            return ERROR_UNSUPPORTED_TYPE;
        }
        // The stored UTF-16LE bytes; the text ends at the first NUL, or at the
        // end of data without one.
        const std::wstring text = detail::DecodeUtf16(stored->data, false).c_str();
        value = WideString(stored->type == REG_EXPAND_SZ ? ExpandEnvironment(text) : text);
        return ERROR_SUCCESS;
    });
}

long RegistryKey::QueryValue(std::uint32_t& value, const wchar_t* name) const {
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return WithoutThrowing([&]() -> long {
        const detail::RegistryValue* stored = FindValue(m_key, name);
        if (stored == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        // RegGetValueW with RRF_RT_REG_DWORD: REG_DWORD of exactly four bytes.
        if (stored->type != REG_DWORD || stored->data.size() != 4) {
            return ERROR_UNSUPPORTED_TYPE;
        }
        value = 0;
        for (std::size_t i = 4; i-- > 0;) {
            value = (value << 8) | static_cast<unsigned char>(stored->data[i]);
        }
        return ERROR_SUCCESS;
    });
}

long RegistryKey::Close() {
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    delete static_cast<detail::RegistryValueMap*>(m_key);
    m_key = nullptr;
    return ERROR_SUCCESS;
}

} // namespace basekit
