// The library as a caller sees it: this test links the shared library itself
// (the DLL through its import library on Windows) and reaches every exported
// kind of name: static tables as data imports, constructors, copies and
// destructors of both classes, and a whole directory load.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Util_StringLoader.h"

namespace {

struct ExposedConverter : CUtilLocaleLCIDConverter {
    using CUtilLocaleLCIDConverter::MatchEntry;
    using CUtilLocaleLCIDConverter::s_PrimaryLangIDTbl;
    using CUtilLocaleLCIDConverter::s_SubLangIDTbl;
};

// The rows the caller sees through the data import are the very rows the
// library's code searches, not a copy: MatchEntry returns pointers into them.
TEST(ExportsTest, StaticTablesAreTheLibrarysOwn) {
    const ExposedConverter converter;
    const auto& primary = ExposedConverter::s_PrimaryLangIDTbl;
    const auto* english = converter.MatchEntry(L'E', L'n', primary, static_cast<int>(std::size(primary)));
    EXPECT_TRUE(english >= std::begin(primary) && english < std::end(primary) && english->dwLangID == 9u);
    const auto& sub = ExposedConverter::s_SubLangIDTbl;
    EXPECT_EQ(converter.MatchEntry(1u, 4u, sub, static_cast<int>(std::size(sub))), &sub[0]); // Taiwan
    // Derived classes call the matchers with tables of their own: the first row within the count.
    const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE rows[] = {
        {L"xy", 5, 7}, {L"ab", 1, 0}, {L"Ab", 1, 3}, {L"ab", 2, 0}, {L"cd", 1, 3}};
    EXPECT_EQ(converter.MatchEntry(L'A', L'B', rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(L'a', L'b', rows, 1), nullptr);
    EXPECT_EQ(converter.MatchEntry(1u, rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(1u, 3u, rows, 5), &rows[2]);
    EXPECT_EQ(converter.MatchEntry(1u, 0u, nullptr, 0), nullptr); // an empty table is not read
}

TEST(ExportsTest, ObjectsAreBuiltCopiedAndDestroyedAcrossTheBoundary) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ul_abi_" + std::to_string(std::random_device()()));
    std::filesystem::create_directory(dir);
    const std::shared_ptr<void> cleanup(nullptr, [&dir](void*) { std::filesystem::remove_all(dir); });
    // ASCII texts read the same through every platform's profile reader.
    for (const char* name : {"en", "zh_tw"}) {
        std::ofstream(dir / (std::string(name) + ".cfg")) << "[Strings]\nIDS_SPAM_FOLDER_NAME=Spam " << name;
    }
    std::unique_ptr<CUtilStringLoader> loader = std::make_unique<CUtilStringLoader>();
    ASSERT_TRUE(loader->LoadAllLanguageStringTable(dir.wstring().c_str()));
    EXPECT_EQ(loader->LoadStringW(0x0404, 20, true).str(), L"Cannot load string:IDS_INBOX_FOLDER_NAME");
    std::vector<int> languages;
    int count = 8;
    EXPECT_EQ(loader->GetLanguages(&languages, &count), 0u);
    EXPECT_EQ(languages, (std::vector<int>{9, 0x0404}));
    // Strings allocated inside the library are copied and freed by the caller.
    CUtilStringLoader copy(*loader), assigned;
    loader.reset();
    assigned = copy;
    copy = CUtilStringLoader();
    EXPECT_EQ(copy.LoadStringW(9, 14, true).str(), L"");
    EXPECT_EQ(assigned.LoadStringW(0x0404, 14, false).str(), L"Spam zh_tw");
    EXPECT_EQ(assigned.LoadStringW(0x0c04, 14, true).str(), L"Spam en"); // no table 4: English
    CUtilLocaleLCIDConverter converter;
    const CUtilLocaleLCIDConverter converterCopy(converter);
    converter = converterCopy;
    EXPECT_EQ(converterCopy.LocaleToLangID(L"zh_tw"), 0x0404u);
    EXPECT_EQ(converter.LangIDToLocale(0x0c0c).str(), L"fr_ca");
}

} // namespace
