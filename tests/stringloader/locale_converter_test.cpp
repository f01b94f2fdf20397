// Tests of CUtilLocaleLCIDConverter: locale names to language IDs and back, the
// code tables and their row matcher, and the records written when a name
// cannot be converted.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <iterator>
#include <string>

#include "Util_StringLoader.h"
#include "platform/common/module_handle.h"
#include "support/trace_capture.h"

namespace {

const wchar_t* const kShort = L"Locale string size < 2";
const wchar_t* const kNoCode = L"Can't match any of the primary lang id";

class ConverterAccess : public CUtilLocaleLCIDConverter {
public:
    using CUtilLocaleLCIDConverter::MatchEntry;
    using CUtilLocaleLCIDConverter::s_PrimaryLangIDTbl;
};

// A name, its language ID and that ID converted back: codes in any case and
// every region row; then the rules: "ca" as language and as region, the third
// character never looked at, a region brings its sub-language whatever its
// row's language but converts back only with its own language, unlisted
// regions, and only names of exactly five UTF-16 units carry a region.
struct NameRow {
    const wchar_t* name;
    std::uint32_t id;
    const wchar_t* back;
};
const NameRow kCodes[] = {{L"en", 0x0009, L"en"},       {L"EN", 0x0009, L"en"},       {L"vi", 0x002a, L"vi"},
                          {L"EN_uS", 0x0409, L"en_us"}, {L"zh_tw", 0x0404, L"zh_tw"}, {L"zh_cn", 0x0804, L"zh_cn"},
                          {L"ZH_TW", 0x0404, L"zh_tw"}, {L"en_gb", 0x0809, L"en_gb"}, {L"fr_ca", 0x0c0c, L"fr_ca"},
                          {L"pt_br", 0x0416, L"pt_br"}, {L"es_es", 0x040a, L"es_es"}};
const NameRow kRules[] = {{L"ca_ca", 0x0c03, L"ca"},  {L"zh-tw", 0x0404, L"zh_tw"}, {L"en_tw", 0x0409, L"en_us"},
                          {L"en_ca", 0x0c09, L"en"},  {L"en_au", 0x0009, L"en"},    {L"en_\u0175s", 0x0009, L"en"},
                          {L"en_usa", 0x0009, L"en"}, {L"zh_tw_x", 0x0004, L"zh"},  {L"en\U0001F600us", 0x0009, L"en"}};

// Names that give 0 and the one record they write. Only 'a' to 'z' fold: no
// other value may pass for a letter.
struct FailureRow {
    const wchar_t* name;
    const wchar_t* record;
};
const FailureRow kFailures[] = {{L"", kShort},         {L"e", kShort},        {L"\U0001F600", kNoCode},
                                {L"xx", kNoCode},      {L"tw", kNoCode},      {L"\u00c5n", kNoCode},
                                {L"\u0165n", kNoCode}, {L"\u0131t", kNoCode}, {L"\U00010065n", kNoCode}};

void CheckNames() {
    const CUtilLocaleLCIDConverter converter;
    testsupport::TraceCapture capture;
    const auto check = [&converter](const NameRow& row) {
        EXPECT_EQ(converter.LocaleToLangID(row.name), row.id) << row.back;
        EXPECT_EQ(converter.LangIDToLocale(row.id).str(), row.back);
    };
    std::for_each(std::begin(kCodes), std::end(kCodes), check);
    std::for_each(std::begin(kRules), std::end(kRules), check);
    EXPECT_TRUE(capture.records().empty());
    for (const auto& row : kFailures) {
        testsupport::TraceCapture failure;
        EXPECT_EQ(converter.LocaleToLangID(row.name), 0u) << row.name;
        const auto records = failure.records();
        ASSERT_EQ(records.size(), 1u) << row.name;
        EXPECT_TRUE(records[0].level == 0x1003u && records[0].message == row.record &&
                    records[0].sourceFile == L".\\Util_StringLoader" &&
                    records[0].module == basekit::detail::ThisModuleHandle());
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

TEST(LocaleConverter, IdsUseTheLow16BitsAndEveryTableRowConverts) {
    const CUtilLocaleLCIDConverter converter;
    EXPECT_EQ(CUtilLocaleLCIDConverter::LANG_EN, 9);
    EXPECT_EQ(converter.LangIDToLocale(0x00010409).str(), L"en_us");
    ASSERT_EQ(std::size(ConverterAccess::s_PrimaryLangIDTbl), 69u);
    for (const auto& row : ConverterAccess::s_PrimaryLangIDTbl) {
        const std::wstring code = row.pszCode;
        EXPECT_TRUE(code.size() == 2 && code.find_first_not_of(L"abcdefghijklmnopqrstuvwxyz") == code.npos);
        EXPECT_EQ(converter.LocaleToLangID(row.pszCode), row.dwLangID) << row.dwLangID;
        EXPECT_EQ(converter.LangIDToLocale(row.dwLangID).str(), code);
    }
}

// Derived classes call the matchers with tables of their own.
TEST(LocaleConverter, MatchEntryTakesTheFirstRowWithinTheCount) {
    const ConverterAccess converter;
    const CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE rows[] = {
        {L"xy", 5, 7}, {L"ab", 1, 0}, {L"Ab", 1, 3}, {L"ab", 2, 0}, {L"cd", 1, 3}};
    EXPECT_EQ(converter.MatchEntry(L'A', L'B', rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(L'a', L'b', rows, 1), nullptr);
    EXPECT_EQ(converter.MatchEntry(1u, rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(1u, 3u, rows, 5), &rows[2]);
    EXPECT_EQ(converter.MatchEntry(1u, 0u, nullptr, 0), nullptr); // an empty table is not read
}

} // namespace
