// Tests of CUtilLocaleLCIDConverter: locale names to language IDs and back, the
// two code tables and their row matcher, and the records written when a name
// cannot be converted.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <utility>

#include "Util_StringLoader.h"
#include "platform/common/module_handle.h"
#include "support/trace_capture.h"

namespace {

using Table = CUtilLocaleLCIDConverter::LOCALE_LANGID_TABLE;

constexpr unsigned kTraceFailure = 0x1003;
const wchar_t* const kTooShort = L"Locale string size < 2";
const wchar_t* const kNoPrimary = L"Can't match any of the primary lang id";

class ConverterAccess : public CUtilLocaleLCIDConverter {
public:
    using CUtilLocaleLCIDConverter::MatchEntry;
    using CUtilLocaleLCIDConverter::s_PrimaryLangIDTbl;
    using CUtilLocaleLCIDConverter::s_SubLangIDTbl;
};

std::string Show(const wchar_t* text) {
    std::string shown;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        const auto value = static_cast<unsigned long>(*p);
        shown += (value >= 0x20 && value < 0x7f) ? std::string(1, static_cast<char>(value))
                                                 : "<U+" + std::to_string(value) + ">";
    }
    return "\"" + shown + "\"";
}

struct NameCase {
    const wchar_t* name;
    std::uint32_t id;
    const wchar_t* record; // the one failure record expected, or null for none
};

const NameCase kNameCases[] = {
    // Language code alone, any case.
    {L"en", 0x0009, nullptr},
    {L"EN", 0x0009, nullptr},
    {L"En", 0x0009, nullptr},
    {L"eN", 0x0009, nullptr},
    {L"vi", 0x002a, nullptr},
    // Language and region; the region is case-blind too.
    {L"en_us", 0x0409, nullptr},
    {L"EN_US", 0x0409, nullptr},
    {L"en_Us", 0x0409, nullptr},
    {L"zh_tw", 0x0404, nullptr},
    {L"zh_cn", 0x0804, nullptr},
    {L"en_gb", 0x0809, nullptr},
    {L"fr_ca", 0x0c0c, nullptr},
    {L"pt_br", 0x0416, nullptr},
    {L"es_es", 0x040a, nullptr},
    // "ca" is a language and a region: each position reads its own table.
    {L"ca_ca", 0x0c03, nullptr},
    {L"ca", 0x0003, nullptr},
    // The separator is never looked at.
    {L"zh-tw", 0x0404, nullptr},
    {L"zh.tw", 0x0404, nullptr},
    {L"zh\u00e9tw", 0x0404, nullptr},
    // A region brings its sub-language whatever language its row belongs to.
    {L"en_tw", 0x0409, nullptr},
    {L"en_ca", 0x0c09, nullptr},
    // An unlisted region is no failure: the neutral ID, no record.
    {L"en_au", 0x0009, nullptr},
    {L"en_\u00fcs", 0x0009, nullptr},
    {L"en_\u0175s", 0x0009, nullptr},
    // Only five-unit names carry a region.
    {L"en_u", 0x0009, nullptr},
    {L"en_usa", 0x0009, nullptr},
    {L"english", 0x0009, nullptr},
    {L"zh_tw_x", 0x0004, nullptr},
    {L"fred", 0x000c, nullptr},
    {L"ne_", 0x0061, nullptr},
    // Lengths are counted in UTF-16 units: a character above U+FFFF is two.
    {L"en\U0001F600us", 0x0009, nullptr},
    {L"\U0001F600", 0, kNoPrimary},
    {L"e\U0001F600", 0, kNoPrimary},
    // Too short.
    {L"", 0, kTooShort},
    {L"e", 0, kTooShort},
    {L"\u00e9", 0, kTooShort},
    // No such language code.
    {L"xx", 0, kNoPrimary},
    {L"tw", 0, kNoPrimary},
    {L"us_us", 0, kNoPrimary},
    {L"12", 0, kNoPrimary},
    {L"e1", 0, kNoPrimary},
    {L"_en", 0, kNoPrimary},
    {L" en", 0, kNoPrimary},
    {L"n e", 0, kNoPrimary},
    // Only 'a' to 'z' fold: nothing outside ASCII may pass for a letter.
    {L"\u00e9n", 0, kNoPrimary},      // e with acute
    {L"\u00c5n", 0, kNoPrimary},      // low seven bits are 'E'
    {L"\u0085n", 0, kNoPrimary},      // 'e' + 0x20
    {L"\u0165n", 0, kNoPrimary},      // low byte is 'e'
    {L"\u0131t", 0, kNoPrimary},      // dotless i, upper case 'I' in some locales
    {L"\u017fk", 0, kNoPrimary},      // long s, upper case 'S' in some locales
    {L"\uff45\uff4e", 0, kNoPrimary}, // full-width "en"
    {L"\U00010065n", 0, kNoPrimary},  // low 16 bits are 'e'
};

void CheckNameCases() {
    const CUtilLocaleLCIDConverter converter;
    for (const NameCase& row : kNameCases) {
        SCOPED_TRACE(Show(row.name));
        testsupport::TraceCapture capture;
        EXPECT_EQ(converter.LocaleToLangID(row.name), row.id);
        const auto records = capture.records();
        if (row.record == nullptr) {
            EXPECT_TRUE(records.empty());
            continue;
        }
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].level, kTraceFailure);
        EXPECT_EQ(records[0].message, row.record);
        EXPECT_EQ(records[0].sourceFile, L".\\Util_StringLoader");
        EXPECT_EQ(records[0].module, basekit::detail::ThisModuleHandle());
        EXPECT_GT(records[0].line, 0);
    }
}

TEST(LocaleToLangID, ConvertsNamesAndTracesFailures) {
    CheckNameCases();
}

// Folding stays ASCII-only when the process has chosen a locale whose case
// mapping knows more letters (there dotless i upper-cases to 'I' and long s to 'S').
TEST(LocaleToLangID, FoldingIgnoresTheProcessLocale) {
    struct LocaleGuard {
        std::string saved = std::setlocale(LC_ALL, nullptr);
        ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
    } guard;
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        GTEST_SKIP() << "no C.UTF-8 locale on this machine";
    }
    CheckNameCases();
}

TEST(LangIDToLocale, BuildsNamesFromTheLow16Bits) {
    const std::pair<std::uint32_t, const wchar_t*> cases[] = {
        {0x0409, L"en_us"},
        {0x0809, L"en_gb"},
        {0x0404, L"zh_tw"},
        {0x0804, L"zh_cn"},
        {0x0c0c, L"fr_ca"},
        {0x0416, L"pt_br"},
        {0x040a, L"es_es"},
        {0x0036, L"af"},
        {0x002a, L"vi"},
        {0x0009, L"en"},
        // A sub-language with no row for that primary language: the code alone.
        {0x040c, L"fr"},
        {0x0816, L"pt"},
        {0x0c0a, L"es"},
        {0x0c09, L"en"},
        {0x0c03, L"ca"},
        {0x0401, L"ar"},
        {0xfc09, L"en"},
        // Bits above 15 are ignored.
        {0x00010409, L"en_us"},
        {0xffff0804, L"zh_cn"},
        {0x00010000, L""},
        // No such primary language.
        {0x0000, L""},
        {0x0026, L""},
        {0x0400, L""},
        {0x03ff, L""}};
    const CUtilLocaleLCIDConverter converter;
    testsupport::TraceCapture capture;
    for (const auto& [id, name] : cases) {
        SCOPED_TRACE(id);
        EXPECT_EQ(converter.LangIDToLocale(id).str(), name);
    }
    EXPECT_TRUE(capture.records().empty());
}

// Every name built from the two tables converts to the ID the tables give. Back
// again, the region survives only when its row belongs to that language.
TEST(LocaleConverter, EveryTableNameConvertsBothWays) {
    const CUtilLocaleLCIDConverter converter;
    testsupport::TraceCapture capture;
    int exactRoundTrips = 0;
    for (const Table& language : ConverterAccess::s_PrimaryLangIDTbl) {
        const std::wstring code = language.pszCode;
        EXPECT_EQ(converter.LocaleToLangID(code.c_str()), language.dwLangID) << Show(code.c_str());
        EXPECT_EQ(converter.LangIDToLocale(language.dwLangID).str(), code);
        for (const Table& region : ConverterAccess::s_SubLangIDTbl) {
            const std::wstring name = code + L"_" + region.pszCode;
            const std::uint32_t id = (region.dwLangID << 10) | language.dwLangID;
            SCOPED_TRACE(Show(name.c_str()));
            EXPECT_EQ(converter.LocaleToLangID(name.c_str()), id);

            std::wstring back = code;
            for (const Table& owner : ConverterAccess::s_SubLangIDTbl) {
                if (owner.dwLangID == region.dwLangID && owner.dwPrimaryLangID == language.dwLangID) {
                    back += std::wstring(L"_") + owner.pszCode;
                    break;
                }
            }
            EXPECT_EQ(converter.LangIDToLocale(id).str(), back);
            exactRoundTrips += back == name ? 1 : 0;
        }
    }
    // Each region row belongs to a listed language, so each gives one exact round trip.
    EXPECT_EQ(exactRoundTrips, 7);
    EXPECT_TRUE(capture.records().empty());
}

TEST(LocaleConverter, TablesHoldTheExpectedRows) {
    EXPECT_EQ(CUtilLocaleLCIDConverter::LANG_EN, 9);
    EXPECT_EQ(CUtilStringLoader::LANG_ID_EN, 9);
    ASSERT_EQ(std::size(ConverterAccess::s_PrimaryLangIDTbl), 69u);
    ASSERT_EQ(std::size(ConverterAccess::s_SubLangIDTbl), 7u);

    const Table& first = ConverterAccess::s_PrimaryLangIDTbl[0];
    const Table& last = ConverterAccess::s_PrimaryLangIDTbl[68];
    EXPECT_EQ(std::wstring(first.pszCode), L"af");
    EXPECT_EQ(first.dwLangID, 0x36u);
    EXPECT_EQ(std::wstring(last.pszCode), L"vi");
    EXPECT_EQ(last.dwLangID, 0x2au);

    std::set<std::wstring> codes;
    std::set<std::uint32_t> ids;
    for (const Table& row : ConverterAccess::s_PrimaryLangIDTbl) {
        const std::wstring code = row.pszCode;
        SCOPED_TRACE(Show(row.pszCode));
        ASSERT_EQ(code.size(), 2u);
        EXPECT_TRUE(code[0] >= L'a' && code[0] <= L'z' && code[1] >= L'a' && code[1] <= L'z');
        EXPECT_TRUE(row.dwLangID > 0 && row.dwLangID <= 0x3ff);
        EXPECT_EQ(row.dwPrimaryLangID, 0u);
        codes.insert(code);
        ids.insert(row.dwLangID);
    }
    EXPECT_EQ(codes.size(), 69u);
    EXPECT_EQ(ids.size(), 69u);

    const Table expectedSub[] = {{L"tw", 0x01, 0x04}, {L"cn", 0x02, 0x04}, {L"gb", 0x02, 0x09}, {L"us", 0x01, 0x09},
                                 {L"ca", 0x03, 0x0c}, {L"br", 0x01, 0x16}, {L"es", 0x01, 0x0a}};
    for (std::size_t i = 0; i < std::size(expectedSub); ++i) {
        const Table& row = ConverterAccess::s_SubLangIDTbl[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(std::wstring(row.pszCode), expectedSub[i].pszCode);
        EXPECT_EQ(row.dwLangID, expectedSub[i].dwLangID);
        EXPECT_EQ(row.dwPrimaryLangID, expectedSub[i].dwPrimaryLangID);
    }
}

TEST(MatchEntry, FirstMatchingRowWithinTheRowCount) {
    const ConverterAccess converter;
    // Rows 1 and 2 both match the code "ab"; rows 1, 2 and 4 carry ID 1, rows 2 and 4 the pair (1, 3).
    const Table rows[] = {{L"xy", 5, 7}, {L"ab", 1, 0}, {L"Ab", 1, 3}, {L"ab", 2, 0}, {L"cd", 1, 3}};

    EXPECT_EQ(converter.MatchEntry(L'A', L'B', rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(L'a', L'b', rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(L'X', L'y', rows, 4), &rows[0]);
    EXPECT_EQ(converter.MatchEntry(L'a', L'b', rows, 1), nullptr); // row 2 lies beyond the count
    EXPECT_EQ(converter.MatchEntry(L'b', L'a', rows, 4), nullptr);
    EXPECT_EQ(converter.MatchEntry(L'a', L'\0', rows, 4), nullptr);

    EXPECT_EQ(converter.MatchEntry(1u, rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(2u, rows, 4), &rows[3]);
    EXPECT_EQ(converter.MatchEntry(2u, rows, 3), nullptr);
    EXPECT_EQ(converter.MatchEntry(7u, rows, 4), nullptr); // a primary ID is no ID

    EXPECT_EQ(converter.MatchEntry(1u, 3u, rows, 5), &rows[2]);
    EXPECT_EQ(converter.MatchEntry(1u, 0u, rows, 4), &rows[1]);
    EXPECT_EQ(converter.MatchEntry(5u, 7u, rows, 4), &rows[0]);
    EXPECT_EQ(converter.MatchEntry(5u, 0u, rows, 4), nullptr);
    EXPECT_EQ(converter.MatchEntry(7u, 5u, rows, 4), nullptr);

    // No rows: null without touching the table.
    for (const int rowCount : {0, -1, -69}) {
        SCOPED_TRACE(rowCount);
        EXPECT_EQ(converter.MatchEntry(L'a', L'b', nullptr, rowCount), nullptr);
        EXPECT_EQ(converter.MatchEntry(1u, nullptr, rowCount), nullptr);
        EXPECT_EQ(converter.MatchEntry(1u, 0u, nullptr, rowCount), nullptr);
    }
}

} // namespace
