// The library as a caller sees it: this test links the shared library itself
// (the DLL through its import library on Windows) and reaches every exported
// kind of name: static tables and constants as data imports, constructors,
// copies and virtual destructors of both classes, a whole directory load, and
// the module handle that trace records carry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Util_StringLoader.h"
#include "tracekit.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kSpam = 14;

class ExposedLoader : public CUtilStringLoader {
public:
    using CUtilStringLoader::GetDefaultLangIniDirectory;
    using CUtilStringLoader::LoadStringTableForLanguage;
    using CUtilStringLoader::s_IDStringMapping;
};

class ExposedConverter : public CUtilLocaleLCIDConverter {
public:
    using CUtilLocaleLCIDConverter::MatchEntry;
    using CUtilLocaleLCIDConverter::s_PrimaryLangIDTbl;
    using CUtilLocaleLCIDConverter::s_SubLangIDTbl;
};

// A fresh directory for one test; the helpers in tests/support link the
// library's internal objects, so this test keeps its own.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("ul_abi_" + std::to_string(random()) + std::to_string(random()));
        fs::create_directory(m_path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return m_path; }

    // UTF-16LE with a byte-order mark reads the same through every platform's profile reader.
    void WriteTable(const std::string& name, const std::u16string& text) const {
        std::ofstream out(m_path / name, std::ios::binary);
        out.write("\xFF\xFE", 2);
        for (const char16_t unit : text) {
            const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            out.write(bytes, 2);
        }
    }

private:
    fs::path m_path;
};

std::wstring Wide(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    // The library decodes Linux paths as UTF-8; the scratch paths are ASCII.
    const std::string narrow = path.string();
    return std::wstring(narrow.begin(), narrow.end());
#endif
}

TEST(ExportsTest, StaticTablesAndConstantsAreTheLibrarysOwn) {
    EXPECT_EQ(CUtilStringLoader::LANG_ID_EN, 9);
    EXPECT_EQ(CUtilLocaleLCIDConverter::LANG_EN, 9);

    ASSERT_EQ(std::size(ExposedLoader::s_IDStringMapping), 24u);
    std::set<int> ids;
    for (const auto& row : ExposedLoader::s_IDStringMapping) {
        ids.insert(row.stringID);
    }
    EXPECT_EQ(ids.size(), 24u);
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), 23);
    EXPECT_STREQ(ExposedLoader::s_IDStringMapping[4].keyName, L"IDS_APPROVE_SENDER_FORM_UI_EXCLUDE_LIST_LABEL");
    EXPECT_EQ(ExposedLoader::s_IDStringMapping[4].stringID, 5);

    // The rows the caller sees through the data import are the very rows the
    // library's code searches, not a copy: MatchEntry returns pointers into them.
    const ExposedConverter converter;
    const auto& primary = ExposedConverter::s_PrimaryLangIDTbl;
    const auto& sub = ExposedConverter::s_SubLangIDTbl;
    ASSERT_EQ(std::size(primary), 69u);
    ASSERT_EQ(std::size(sub), 7u);
    const auto* english = converter.MatchEntry(L'E', L'n', primary, static_cast<int>(std::size(primary)));
    ASSERT_NE(english, nullptr);
    EXPECT_TRUE(english >= std::begin(primary) && english < std::end(primary));
    EXPECT_STREQ(english->pszCode, L"en");
    EXPECT_EQ(english->dwLangID, 9u);
    const auto* taiwan = converter.MatchEntry(1u, 4u, sub, static_cast<int>(std::size(sub)));
    ASSERT_EQ(taiwan, &sub[0]);
    EXPECT_STREQ(taiwan->pszCode, L"tw");
}

TEST(ExportsTest, ObjectsAreBuiltCopiedAndDestroyedAcrossTheBoundary) {
    ScratchDir dir;
    dir.WriteTable("en.cfg", u"[Strings]\r\nIDS_SPAM_FOLDER_NAME=Spam\r\n");
    dir.WriteTable("zh_tw.cfg", u"[Strings]\r\nIDS_SPAM_FOLDER_NAME=\u5783\u573e\u90f5\u4ef6\r\n");

    // Destroyed through the base pointer: the virtual destructor is the library's.
    std::unique_ptr<CUtilStringLoader> loader = std::make_unique<ExposedLoader>();
    ASSERT_TRUE(loader->LoadAllLanguageStringTable(Wide(dir.path()).c_str()));
    EXPECT_EQ(loader->LoadStringW(9, kSpam, false).str(), L"Spam");
    EXPECT_EQ(loader->LoadStringW(0x0404, kSpam, false).str(), L"\u5783\u573e\u90f5\u4ef6");
    EXPECT_EQ(loader->LoadStringW(0x0404, 20, true).str(), L"Cannot load string:IDS_INBOX_FOLDER_NAME");

    std::vector<int> languages;
    int count = 8;
    EXPECT_EQ(loader->GetLanguages(&languages, &count), 0u);
    EXPECT_EQ(languages, (std::vector<int>{9, 0x0404}));

    // Strings allocated inside the library are copied and freed by the caller.
    CUtilStringLoader copy(*loader);
    loader.reset();
    EXPECT_EQ(copy.LoadStringW(0x0404, kSpam, false).str(), L"\u5783\u573e\u90f5\u4ef6");
    CUtilStringLoader assigned;
    assigned = copy;
    copy = CUtilStringLoader();
    EXPECT_EQ(copy.LoadStringW(9, kSpam, true).str(), L"");
    EXPECT_EQ(assigned.LoadStringW(0x0404, kSpam, false).str(), L"\u5783\u573e\u90f5\u4ef6");
    EXPECT_EQ(assigned.LoadStringW(0x0c04, kSpam, true).str(), L"Spam"); // no table 4: English

    CUtilLocaleLCIDConverter converter;
    const CUtilLocaleLCIDConverter converterCopy(converter);
    converter = converterCopy;
    EXPECT_EQ(converterCopy.LocaleToLangID(L"zh_tw"), 0x0404u);
    EXPECT_EQ(converter.LangIDToLocale(0x0c0c).str(), L"fr_ca");
}

void CollectModule(const tracekit::TraceRecord& record, void* context) {
    static_cast<std::vector<const void*>*>(context)->push_back(record.module);
}

// The base address of the loaded library, found by the operating system, not by the library.
const void* LibraryBase() {
#ifdef _WIN32
    return GetModuleHandleW(UL_LIBRARY_FILE);
#else
    void* handle = dlopen(UL_LIBRARY_FILE, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return nullptr;
    }
    Dl_info info{};
    void* symbol = dlsym(handle, "_ZN8tracekit8TraceLogEPKvjPKwiS3_z");
    const void* base = (symbol != nullptr && dladdr(symbol, &info) != 0) ? info.dli_fbase : nullptr;
    dlclose(handle);
    return base;
#endif
}

TEST(ExportsTest, TraceRecordsCarryTheLibrarysModuleHandle) {
    const void* base = LibraryBase();
    ASSERT_NE(base, nullptr);
    ScratchDir dir;
    std::vector<const void*> modules;
    tracekit::SetTraceSink(&CollectModule, &modules);
    ExposedLoader loader;
    loader.LoadStringTableForLanguage(Wide(dir.path() / "missing.cfg").c_str(), 9);
    tracekit::SetTraceSink(nullptr, nullptr);

    ASSERT_EQ(modules.size(), 2u + 24u); // entry, one placeholder per row, exit
    for (const void* module : modules) {
        EXPECT_EQ(module, base);
    }
}

} // namespace
