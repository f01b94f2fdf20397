// Tests of CUtilLocaleLCIDConverter: locale names to language IDs and back and
// the records written when a name cannot be converted (rows in
// data/locale_names.txt), both code tables against a golden list
// (data/locale_tables.txt). The row matchers on tables of a caller's own are
// the exports test's.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <map>
#include <string>

#include "Util_StringLoader.h"
#include "platform/common/module_handle.h"
#include "support/golden_table.h"
#include "support/test_files.h"
#include "support/trace_capture.h"

namespace {

const std::string kData = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) + "/data/";

// Each row of data/locale_names.txt: a name that converts writes no record, one
// that fails writes exactly the row's record.
void CheckNames() {
    const CUtilLocaleLCIDConverter converter;
    const auto table = testsupport::ReadTable(kData + "locale_names.txt");
    ASSERT_EQ(table.size(), 22u);
    for (const auto& [line, row] : table) {
        const std::wstring name = testsupport::Unescape(row[0]);
        const auto id = static_cast<std::uint32_t>(std::stoul(row[1], nullptr, 0));
        testsupport::TraceCapture capture;
        EXPECT_EQ(converter.LocaleToLangID(name.c_str()), id) << line;
        const auto records = capture.records();
        ASSERT_EQ(records.size(), id == 0 ? 1u : 0u) << line;
        if (id != 0) {
            EXPECT_EQ(converter.LangIDToLocale(id).str(), testsupport::Unescape(row[2])) << line;
        } else {
            EXPECT_TRUE(records[0].level == 0x1003u && records[0].message == testsupport::Unescape(row[2]) &&
                        records[0].sourceFile == L".\\Util_StringLoader" &&
                        records[0].module == basekit::detail::ThisModuleHandle());
        }
    }
}

// Also under a process locale whose case mapping knows more letters (there
// dotless i upper-cases to 'I'): folding stays ASCII-only.
TEST(LocaleConverter, ConvertsNamesBothWaysAndTracesFailures) {
    CheckNames();
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {
        CheckNames();
        std::setlocale(LC_ALL, saved.c_str());
    }
}

// Every code of both tables against data/locale_tables.txt, both ways; every
// other two-letter code and every other primary language ID converts to
// nothing. IDs keep only their low 16 bits on the way back.
TEST(LocaleConverter, BothTablesMatchTheGoldenList) {
    const CUtilLocaleLCIDConverter converter;
    std::map<std::wstring, std::uint32_t> names;
    for (const auto& [line, row] : testsupport::ReadTable(kData + "locale_tables.txt")) {
        names[testsupport::Unescape(row[0])] = static_cast<std::uint32_t>(std::stoul(row[1], nullptr, 0));
    }
    ASSERT_EQ(names.size(), 69u + 7u);
    for (const auto& [name, id] : names) {
        EXPECT_EQ(converter.LocaleToLangID(name.c_str()), id) << testsupport::Narrow(name);
        EXPECT_EQ(converter.LangIDToLocale(id).str(), name) << id;
    }
    testsupport::TraceCapture quiet; // the failures' records are the other test's
    for (wchar_t first = L'a'; first <= L'z'; ++first) {
        for (wchar_t second = L'a'; second <= L'z'; ++second) {
            const wchar_t code[] = {first, second, L'\0'};
            if (names.count(code) == 0) {
                EXPECT_EQ(converter.LocaleToLangID(code), 0u) << testsupport::Narrow(code);
            }
        }
    }
    for (std::uint32_t id = 0; id <= 0x3ff; ++id) {
        const std::wstring back = converter.LangIDToLocale(id).str();
        EXPECT_TRUE(back.empty() ? names.count(back) == 0 : names.count(back) == 1 && names[back] == id) << id;
    }
    EXPECT_EQ(converter.LangIDToLocale(0x00010409).str(), L"en_us");
}

} // namespace
