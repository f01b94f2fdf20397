// SettingsRegistry; see test_registry.h. The Windows half goes through the
// registry API; the Linux half keeps the values in memory and rewrites the
// whole .reg file (UTF-16LE, in the format reg export writes) after each change.
#include "support/test_registry.h"

#include <stdexcept>

#ifdef _WIN32
#include "win32_api.h"
#else
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "support/test_files.h"
#endif

namespace testsupport {

namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegQword = 11;

// Value bytes as the registry stores them: strings as UTF-16LE with their NUL.
std::string StringBytes(const std::wstring& text) {
    std::string bytes;
    const auto appendUnit = [&bytes](unsigned long unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    };
    for (const wchar_t c : text) {
        auto cp = static_cast<unsigned long>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            appendUnit(0xD800 + (cp >> 10));
            appendUnit(0xDC00 + (cp & 0x3FF));
        } else {
            appendUnit(cp);
        }
    }
    appendUnit(0);
    return bytes;
}

std::string LittleEndian(std::uint64_t value, int byteCount) {
    std::string bytes;
    for (int i = 0; i < byteCount; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

} // namespace

SettingsRegistry& SettingsRegistry::SetString(const std::wstring& name, const std::wstring& value) {
    SetRaw(name, kRegSz, StringBytes(value), value);
    return *this;
}

SettingsRegistry& SettingsRegistry::SetExpandString(const std::wstring& name, const std::wstring& value) {
    SetRaw(name, kRegExpandSz, StringBytes(value), value);
    return *this;
}

SettingsRegistry& SettingsRegistry::SetDword(const std::wstring& name, std::uint32_t value) {
    SetRaw(name, kRegDword, LittleEndian(value, 4), L"");
    return *this;
}

SettingsRegistry& SettingsRegistry::SetQword(const std::wstring& name, std::uint64_t value) {
    SetRaw(name, kRegQword, LittleEndian(value, 8), L"");
    return *this;
}

SettingsRegistry& SettingsRegistry::SetBinary(const std::wstring& name, const std::string& bytes) {
    SetRaw(name, kRegBinary, bytes, L"");
    return *this;
}

#ifdef _WIN32

// ---------------------------------------------------------------------------
// Windows: the real registry
// ---------------------------------------------------------------------------

namespace {

constexpr const wchar_t* kLockName = L"Local\\util_stringloader_tests_settings_registry";

void Check(LSTATUS status, const char* what) {
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(status));
    }
}

void DeleteSettingsKey() {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
    if (status != ERROR_FILE_NOT_FOUND) {
        Check(status, "RegDeleteTreeW");
    }
    // RegDeleteTreeW leaves the key itself when given a path; delete it too,
    // then the parents when nothing else lives in them, so that a run leaves
    // the registry as it found it.
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_WOW64_64KEY, 0);
    for (const wchar_t* parent : {L"SOFTWARE\\Corvenic\\Velmora", L"SOFTWARE\\Corvenic"}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
            continue;
        }
        DWORD subkeys = 0;
        DWORD values = 0;
        const LSTATUS info = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                              nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (info != ERROR_SUCCESS || subkeys != 0 || values != 0) {
            break;
        }
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, parent, KEY_WOW64_64KEY, 0);
    }
}

HKEY CreateSettingsKey() {
    HKEY key = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
          "RegCreateKeyExW");
    return key;
}

} // namespace

struct SettingsRegistry::State {
    HANDLE lock = nullptr;
};

SettingsRegistry::SettingsRegistry() : m_state(std::make_unique<State>()) {
    m_state->lock = CreateMutexW(nullptr, FALSE, kLockName);
    if (m_state->lock == nullptr) {
        throw std::runtime_error("CreateMutexW failed");
    }
    // WAIT_ABANDONED (a test process died holding the lock) still hands it over.
    const DWORD wait = WaitForSingleObject(m_state->lock, INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(m_state->lock);
        throw std::runtime_error("cannot take the settings registry lock");
    }
    try {
        DeleteSettingsKey();
    } catch (...) {
        ReleaseMutex(m_state->lock);
        CloseHandle(m_state->lock);
        throw;
    }
}

SettingsRegistry::~SettingsRegistry() {
    try {
        DeleteSettingsKey();
    } catch (const std::exception&) {
        // A destructor must not throw; the next SettingsRegistry clears the key anyway.
    }
    ReleaseMutex(m_state->lock);
    CloseHandle(m_state->lock);
}

SettingsRegistry& SettingsRegistry::CreateKey() {
    RegCloseKey(CreateSettingsKey());
    return *this;
}

void SettingsRegistry::SetRaw(const std::wstring& name, std::uint32_t type, const std::string& bytes,
                              const std::wstring& /*text*/) {
    const HKEY key = CreateSettingsKey();
    const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    Check(status, "RegSetValueExW");
}

SettingsRegistry& SettingsRegistry::DeleteValue(const std::wstring& name) {
    const HKEY key = CreateSettingsKey();
    const LSTATUS status = RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    if (status != ERROR_FILE_NOT_FOUND) {
        Check(status, "RegDeleteValueW");
    }
    return *this;
}

#else

// ---------------------------------------------------------------------------
// Linux: a .reg file named by VELMORA_REGISTRY
// ---------------------------------------------------------------------------

namespace {

constexpr const char* kRegistryVariable = "VELMORA_REGISTRY";

struct Value {
    std::wstring name;
    std::uint32_t type = 0;
    std::string bytes;
    std::wstring text; // REG_SZ only
};

std::wstring FoldName(const std::wstring& name) {
    std::wstring folded = name;
    for (wchar_t& c : folded) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - (L'a' - L'A'));
        }
    }
    return folded;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            out += L'\\';
        }
        out += c;
    }
    return out + L"\"";
}

std::wstring ValueData(const Value& value) {
    char buffer[32];
    if (value.type == kRegSz) {
        return Quoted(value.text);
    }
    if (value.type == kRegDword) {
        std::uint32_t number = 0;
        for (std::size_t i = 4; i-- > 0;) {
            number = (number << 8) | static_cast<unsigned char>(value.bytes[i]);
        }
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        return Widen(buffer);
    }
    std::snprintf(buffer, sizeof buffer,
                  value.type == kRegBinary ? "hex:" : "hex(%x):", static_cast<unsigned>(value.type));
    std::string data = buffer;
    for (std::size_t i = 0; i < value.bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x",
                      static_cast<unsigned>(static_cast<unsigned char>(value.bytes[i])));
        data += buffer;
    }
    return Widen(data);
}

} // namespace

struct SettingsRegistry::State {
    TempDir directory;
    std::string file;
    std::optional<std::string> previous; // VELMORA_REGISTRY before this object
    bool keyExists = false;
    std::map<std::wstring, Value> values; // keyed by folded name: value names are case-insensitive

    void Write() const {
        std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n";
        if (keyExists) {
            text += L"[HKEY_LOCAL_MACHINE\\" + std::wstring(kSettingsKeyPath) + L"]\r\n";
            for (const auto& entry : values) {
                text += Quoted(entry.second.name) + L"=" + ValueData(entry.second) + L"\r\n";
            }
            text += L"\r\n";
        }
        WriteTextFile(file, text, Encoding::Utf16LeBom);
    }
};

SettingsRegistry::SettingsRegistry() : m_state(std::make_unique<State>()) {
    m_state->file = m_state->directory.file("settings.reg");
    if (const char* previous = std::getenv(kRegistryVariable)) {
        m_state->previous = previous;
    }
    m_state->Write();
    setenv(kRegistryVariable, m_state->file.c_str(), 1);
}

SettingsRegistry::~SettingsRegistry() {
    if (m_state->previous) {
        setenv(kRegistryVariable, m_state->previous->c_str(), 1);
    } else {
        unsetenv(kRegistryVariable);
    }
}

SettingsRegistry& SettingsRegistry::CreateKey() {
    m_state->keyExists = true;
    m_state->Write();
    return *this;
}

void SettingsRegistry::SetRaw(const std::wstring& name, std::uint32_t type, const std::string& bytes,
                              const std::wstring& text) {
    m_state->keyExists = true;
    m_state->values[FoldName(name)] = Value{name, type, bytes, text};
    m_state->Write();
}

SettingsRegistry& SettingsRegistry::DeleteValue(const std::wstring& name) {
    m_state->keyExists = true;
    m_state->values.erase(FoldName(name));
    m_state->Write();
    return *this;
}

#endif

} // namespace testsupport
