// Feeds arbitrary bytes to the Linux profile reader in memory (ProfileFile
// parses bytes; reading a file only adds the read) and asks for the 24 keys the
// way the loader does: section "Strings", a default, a 1,024-character buffer.
// Every answer must be NUL-terminated, at most 1,023 characters, leave the rest
// of the buffer alone, and be either the default or text of the decoded file;
// a smaller buffer must give a prefix of it, and the key spelled in another
// case or with blanks around it must give the same answer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "Util_StringLoader.h"
#include "platform/common/text_codec.h"
#include "win32_api.h"

namespace {

using basekit::detail::ProfileFile;

constexpr DWORD kBufferChars = 1024;
constexpr wchar_t kUntouched = 0x2A2A; // fills the buffer so that writes past the answer show

class FuzzLoader : public CUtilStringLoader {
public:
    using CUtilStringLoader::s_IDStringMapping;
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "profile_reader_fuzz: %s\n", what);
        std::abort();
    }
}

// Per row: the loader's default text, and the key name with one letter in
// lower case and blanks around it. Made once: allocations dominate a run.
struct Key {
    const wchar_t* name;
    std::wstring defaultText;
    std::wstring respelled;
};
const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = [] {
        std::vector<Key> made;
        for (const auto& row : FuzzLoader::s_IDStringMapping) {
            std::wstring respelled = L" \t" + std::wstring(row.keyName) + L"\x1A";
            wchar_t& letter = respelled[2 + made.size() % std::wcslen(row.keyName)];
            letter = letter >= L'A' && letter <= L'Z' ? letter + (L'a' - L'A') : letter;
            made.push_back(Key{row.keyName, std::wstring(L"Cannot load string:") + row.keyName, respelled});
        }
        return made;
    }();
    return keys;
}

// One read into `buffer` (kBufferChars long) with its shape checked: the
// answer, its NUL, and the 8 characters after it left as they were.
std::wstring_view Read(const ProfileFile& file, const wchar_t* key, const Key& row, DWORD size, wchar_t* buffer) {
    std::wmemset(buffer, kUntouched, std::min<std::size_t>(size + 8, kBufferChars));
    const DWORD length = file.GetString(L"Strings", key, row.defaultText.c_str(), buffer, size);
    Check(length <= size - 1, "more than size-1 characters");
    Check(buffer[length] == L'\0', "no NUL after the answer");
    Check(std::wcslen(buffer) == length, "a NUL inside the answer");
    for (std::size_t i = length + 1; i < std::min<std::size_t>(length + 9, kBufferChars); ++i) {
        Check(buffer[i] == kUntouched, "written past the answer"); // ASan watches the end of the buffer
    }
    return std::wstring_view(buffer, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static wchar_t full[kBufferChars], small[kBufferChars], again[kBufferChars];
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProfileFile file(bytes);
    std::wstring text; // decoded only when a key is found
    const DWORD smaller = size > 0 ? 1 + data[0] % 40 : 1;

    for (const Key& key : Keys()) {
        const std::wstring_view answer = Read(file, key.name, key, kBufferChars, full);
        if (answer != key.defaultText) { // the key is in the file (or its value is the default text)
            Check(Read(file, key.name, key, smaller, small) == answer.substr(0, smaller - 1),
                  "a smaller buffer gives no prefix of the answer");
            if (text.empty()) {
                text = basekit::detail::DecodeTextFile(bytes);
            }
            Check(text.find(answer) != std::wstring::npos, "an answer not in the file");
            Check(Read(file, key.respelled.c_str(), key, kBufferChars, again) == answer,
                  "case or blanks around the key change the answer");
        }
    }
    return 0;
}
