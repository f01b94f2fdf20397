// The Linux half of basekit::RegistryKey. HKEY_LOCAL_MACHINE is a .reg file,
// named by $VELMORA_REGISTRY or else /etc/velmora/registry.reg, read afresh at
// every Open so that settings are always current. An open key owns a snapshot
// of its values; queries answer from it with RegGetValueW's codes.
// Divisions: reading the file, environment expansion, the class itself.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "basekit.h"
#include "platform/common/registry_open_hook.h"
#include "platform/common/text_codec.h"
#include "platform/posix/registry_file.h"
#include "posix/win32_posix.h"

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace basekit {

namespace {

constexpr const char* kRegistryPathVariable = "VELMORA_REGISTRY";
constexpr const char* kDefaultRegistryPath = "/etc/velmora/registry.reg";

// A registry file for one product is a few kilobytes. Anything larger than
// this is refused rather than decoded into several times its size in memory.
constexpr std::size_t kMaxRegistryFileBytes = std::size_t{16} << 20;
constexpr std::size_t kReadChunkBytes = 64 * 1024;

long Code(DWORD code) {
    return static_cast<long>(code);
}

// The snapshot that an open RegistryKey owns.
struct KeySnapshot {
    detail::RegistryValueMap values;
};

// ---------------------------------------------------------------------------
// Reading the file
// ---------------------------------------------------------------------------

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads the whole registry file. Codes: ERROR_FILE_NOT_FOUND when it (or a
// directory on its path) does not exist; ERROR_ACCESS_DENIED when something is
// there but cannot be read as a regular file (no permission, a directory, a
// FIFO, a device, a read error); ERROR_BADDB when it is larger than we accept.
// O_NONBLOCK keeps a FIFO from blocking the open; it is refused right after.
long ReadRegistryFile(std::string* bytes) {
    const std::string path = detail::RegistryFilePath();
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Code(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    }
    const FileDescriptor file(fd);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return Code(ERROR_ACCESS_DENIED);
    }
    if (status.st_size < 0 || static_cast<unsigned long long>(status.st_size) > kMaxRegistryFileBytes) {
        return Code(ERROR_BADDB);
    }
    bytes->clear();
    // The size is only a hint: the file may change while we read it.
    bytes->reserve(static_cast<std::size_t>(status.st_size));
    for (;;) {
        const std::size_t used = bytes->size();
        bytes->resize(used + kReadChunkBytes);
        const ssize_t count = ::read(file.get(), &(*bytes)[used], kReadChunkBytes);
        bytes->resize(used + (count > 0 ? static_cast<std::size_t>(count) : 0));
        if (count == 0) {
            return Code(ERROR_SUCCESS);
        }
        if (count < 0 && errno != EINTR) {
            return Code(ERROR_ACCESS_DENIED);
        }
        if (bytes->size() > kMaxRegistryFileBytes) {
            return Code(ERROR_BADDB);
        }
    }
}

// ---------------------------------------------------------------------------
// Environment expansion for REG_EXPAND_SZ
// ---------------------------------------------------------------------------

// Windows environment names are case-insensitive: an exact match first, then
// the first variable whose name matches with ASCII letters folded.
bool LookupEnvironment(std::wstring_view name, std::wstring* value) {
    const std::string narrow = detail::EncodeUtf8(name);
    if (narrow.find('=') != std::string::npos || narrow.find('\0') != std::string::npos) {
        return false;
    }
    const char* found = std::getenv(narrow.c_str());
    if (found == nullptr && environ != nullptr) {
        for (char** entry = environ; *entry != nullptr && found == nullptr; ++entry) {
            const std::string_view candidate(*entry);
            if (candidate.size() <= narrow.size() || candidate[narrow.size()] != '=') {
                continue;
            }
            bool same = true;
            for (std::size_t i = 0; i < narrow.size() && same; ++i) {
                same = detail::AsciiUpper(static_cast<unsigned char>(candidate[i])) ==
                       detail::AsciiUpper(static_cast<unsigned char>(narrow[i]));
            }
            if (same) {
                found = *entry + narrow.size() + 1;
            }
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
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find(L'%', pos);
        if (open == std::wstring_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            out.append(text.substr(open));
            break;
        }
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
    const auto& values = static_cast<const KeySnapshot*>(key)->values;
    const auto it = values.find(detail::FoldRegistryName(name != nullptr ? name : L""));
    return it == values.end() ? nullptr : &it->second;
}

} // namespace

std::string detail::RegistryFilePath() {
    const char* variable = std::getenv(kRegistryPathVariable);
    return (variable != nullptr && *variable != '\0') ? variable : kDefaultRegistryPath;
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
    if (hookResult != 0) {
        return hookResult;
    }
    if (root == nullptr) {
        return Code(ERROR_INVALID_HANDLE);
    }
    if (root != HKEY_LOCAL_MACHINE) {
        return Code(ERROR_FILE_NOT_FOUND); // only HKEY_LOCAL_MACHINE is backed by the file
    }
    // The access mask does not restrict anything here; the WOW64 view flags
    // have no meaning without a 32-bit view.
    const std::wstring_view path = subkeyPath != nullptr ? subkeyPath : L"";
    if (!path.empty() && path.front() == L'\\') {
        return Code(ERROR_BAD_PATHNAME);
    }
    try {
        std::string bytes;
        const long readResult = ReadRegistryFile(&bytes);
        if (readResult != 0) {
            return readResult;
        }
        detail::RegistryParseResult parsed = detail::ParseRegistryFile(bytes);
        if (parsed.status != detail::RegistryParseStatus::kOk) {
            return Code(ERROR_BADDB);
        }
        detail::RegistryNode* node = detail::FindRegistryKey(*parsed.root, path);
        if (node == nullptr) {
            return Code(ERROR_FILE_NOT_FOUND);
        }
        auto snapshot = new KeySnapshot{std::move(node->values)};
        m_key = snapshot;
        return Code(ERROR_SUCCESS);
    } catch (const std::bad_alloc&) {
        return Code(ERROR_NOT_ENOUGH_MEMORY);
    }
}

long RegistryKey::QueryValue(const wchar_t* name, WideString& value) const {
    if (m_key == nullptr) {
        return Code(ERROR_INVALID_HANDLE);
    }
    try {
        const detail::RegistryValue* stored = FindValue(m_key, name);
        if (stored == nullptr) {
            return Code(ERROR_FILE_NOT_FOUND);
        }
        if (stored->type != REG_SZ && stored->type != REG_EXPAND_SZ) {
            return Code(ERROR_UNSUPPORTED_TYPE);
        }
        std::wstring text = detail::DecodeUtf16(stored->data, false);
        const std::size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) {
            text.resize(nul);
        }
        value = WideString(stored->type == REG_EXPAND_SZ ? ExpandEnvironment(text) : std::move(text));
        return Code(ERROR_SUCCESS);
    } catch (const std::bad_alloc&) {
        return Code(ERROR_NOT_ENOUGH_MEMORY);
    }
}

long RegistryKey::QueryValue(std::uint32_t& value, const wchar_t* name) const {
    if (m_key == nullptr) {
        return Code(ERROR_INVALID_HANDLE);
    }
    try {
        const detail::RegistryValue* stored = FindValue(m_key, name);
        if (stored == nullptr) {
            return Code(ERROR_FILE_NOT_FOUND);
        }
        // RegGetValueW with RRF_RT_REG_DWORD: REG_DWORD of exactly four bytes.
        if (stored->type != REG_DWORD || stored->data.size() != 4) {
            return Code(ERROR_UNSUPPORTED_TYPE);
        }
        std::uint32_t number = 0;
        for (std::size_t i = 4; i-- > 0;) {
            number = (number << 8) | static_cast<unsigned char>(stored->data[i]);
        }
        value = number;
        return Code(ERROR_SUCCESS);
    } catch (const std::bad_alloc&) {
        return Code(ERROR_NOT_ENOUGH_MEMORY);
    }
}

long RegistryKey::Close() {
    if (m_key == nullptr) {
        return Code(ERROR_INVALID_HANDLE);
    }
    delete static_cast<KeySnapshot*>(m_key);
    m_key = nullptr;
    return Code(ERROR_SUCCESS);
}

} // namespace basekit
