// GetPrivateProfileStringW as the loader uses it, limited to behaviour that
// Windows and the Linux stand-in share, so this file also runs against the real
// call. Files are UTF-16LE with a byte-order mark, the one encoding both decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::Encoding;
using testsupport::TempDir;
const std::wstring kDefault = L"Cannot load string:K";

// What a read answers in a buffer of `size` characters; the return value must be its length.
std::wstring ReadKey(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     const wchar_t* defaultText = kDefault.c_str(), DWORD size = 1024) {
    std::vector<wchar_t> buffer(size + 1, L'#');
    const DWORD result = GetPrivateProfileStringW(section, key, defaultText, buffer.data(), size, file.c_str());
    EXPECT_EQ(result, std::wstring(buffer.data()).size());
    return buffer.data();
}

struct Case {
    const char* name;
    const wchar_t* content;
    const wchar_t* expected; // nullptr: the default
    const wchar_t* section = L"Strings";
};

// Writes prefix + content + suffix for each row and reads `key`.
void ExpectReads(const std::vector<Case>& rows, const std::wstring& prefix, const std::wstring& suffix,
                 const wchar_t* key) {
    TempDir dir;
    for (const Case& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::WriteTextFile(dir.file("t.ini"), prefix + row.content + suffix, Encoding::Utf16LeBom);
        EXPECT_EQ(ReadKey(dir.wfile("t.ini"), row.section, key), row.expected ? row.expected : kDefault);
    }
}

// One line (or a few) inside [Strings], after an [Other] section that holds K too.
TEST(ProfileReaderTest, LinesInsideStrings) {
    ExpectReads(
        {
            {"spaces around name and value", L"  K  =  v  ", L"v"},
            {"ascii case folded", L"k=v", L"v"},
            {"empty value", L"K=", L""},
            {"empty double quotes", L"K=\"\"", L""},
            {"single quoted", L"K='v'", L"v"},
            {"quoted after trimming", L"K= \"v\" ", L"v"},
            {"quotes keep inner spaces", L"K=\"  x  \"", L"  x  "},
            {"inner quotes kept", L"K=\"say \"hi\" x\"", L"say \"hi\" x"},
            {"mismatched quotes", L"K=\"v'", L"\"v'"},
            {"lone quote", L"K=\"", L"\""},
            {"no comment syntax in values", L"K=a;b # c", L"a;b # c"},
            {"later equals belong to value", L"K=a=b", L"a=b"},
            {"no escapes", L"K=C:\\x\\n", L"C:\\x\\n"},
            {"vt ff and ctrl-z trimmed", L"K=\v\fv\x1A", L"v"},
            {"nbsp is not whitespace", L"K=\u00A0v", L"\u00A0v"},
            {"semicolon key is another key", L";K=v", nullptr},
            {"no prefix match", L"KK=v", nullptr},
            {"inner space significant", L"K K=v", nullptr},
            {"bare key shadows later value", L"K\r\nK=v", nullptr},
            {"first duplicate wins", L"K=\r\nK=x", L""},
            {"quotes do not protect a break", L"K=\"a\rb\"", L"\"a"},
            {"open bracket line is a key", L"[Strings\r\nK=v", L"v"},
            {"header with trailing text", L"[X]=v\r\nK=w", nullptr},

        },
        L"[Other]\r\nK=other\r\n[Strings]\r\n", L"\r\n", L"K");
}

// Whole files: sections, line breaks and the names a caller asks for.
TEST(ProfileReaderTest, FileStructure) {
    ExpectReads(
        {
            {"keys before any header", L"K=v\r\n[Strings]\r\nA=1", nullptr},
            {"only the first section counts", L"[Strings]\r\nA=1\r\n[strings]\r\nK=v", nullptr},
            {"header trimmed, tail ignored", L"[ Strings ] ; c\r\nK=v", L"v"},
            {"unclosed header stays in section", L"[Other]\r\n[Strings\r\nK=v", nullptr},
            {"requested names are trimmed", L"[Strings]\r\nK=v", L"v", L"  Strings\t"},
            {"section case folded", L"[strings]\r\nK=v", L"v", L"STRINGS"},
            {"LF only, no final break", L"[Strings]\nK=v", L"v"},
            {"CR only", L"[Strings]\rK=v\r", L"v"},
            {"LF CR and CR CR LF", L"[Strings]\n\rJ=1\r\r\nK=v", L"v"},
            {"blank and space-only lines", L"\r\n \t\r\n[Strings]\r\n\r\n  \r\nK=v\r\n\r\n", L"v"},
            {"empty file", L"", nullptr},

        },
        L"", L"", L"\tK ");
}

TEST(ProfileReaderTest, DefaultsAndFileNames) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("t.ini"), L"[Strings]\r\nK=v\r\n", Encoding::Utf16LeBom);
    // The default is trimmed of trailing spaces (not tabs) and unquoted.
    const std::pair<const wchar_t*, const wchar_t*> defaults[] = {
        {L"dflt  ", L"dflt"}, {L"dflt\t", L"dflt\t"}, {L"   ", L" "}, {L"", L""}, {nullptr, L""}, {L"\"q\"", L"q"}};
    for (const auto& [defaultText, expected] : defaults) {
        EXPECT_EQ(ReadKey(dir.wfile("t.ini"), L"Strings", L"missing", defaultText), expected);
    }
    testsupport::MakeDirectory(dir.file("sub.ini"));
    for (const std::wstring& file :
         {dir.wfile("missing.ini"), dir.wfile("nodir/t.ini"), dir.wfile("sub.ini"), std::wstring()}) {
        EXPECT_EQ(ReadKey(file, L"Strings", L"K"), kDefault);
    }
    EXPECT_EQ(ReadKey(dir.wpath() + L"\\t.ini", L"Strings", L"K"), L"v");
    EXPECT_EQ(ReadKey(dir.wpath() + L"/t.ini", L"Strings", L"K"), L"v");
}

TEST(ProfileReaderTest, TruncatesToBufferSize) {
    TempDir dir;
    const std::wstring longValue(1500, L'x');
    testsupport::WriteTextFile(dir.file("t.ini"),
                               L"[Strings]\r\nL=" + longValue + L"\r\nS=helloworld\r\nQ=\"hello\"\r\n");
    const std::wstring file = dir.wfile("t.ini");
    EXPECT_EQ(ReadKey(file, L"Strings", L"L"), longValue.substr(0, 1023));
    EXPECT_EQ(ReadKey(file, L"Strings", L"S", L"d", 6), L"hello");
    EXPECT_EQ(ReadKey(file, L"Strings", L"Q", L"d", 7), L"hello"); // fits once unquoted
    EXPECT_EQ(ReadKey(file, L"Strings", L"Q", L"d", 4), L"hel");
    EXPECT_EQ(ReadKey(file, L"Strings", L"K", L"default", 4), L"def");
    EXPECT_EQ(ReadKey(file, L"Strings", L"S", L"d", 1), L"");
    wchar_t untouched[2] = {L'#', L'\0'};
    EXPECT_EQ(GetPrivateProfileStringW(L"Strings", L"S", L"d", untouched, 0, file.c_str()), 0u);
    EXPECT_EQ(untouched[0], L'#');
}

// The list up to two characters past its length: the final NUL, then nothing written.
TEST(ProfileReaderTest, NullSectionOrKeyListsNames) {
    TempDir dir;
    testsupport::WriteTextFile(dir.file("t.ini"), L"[S1]\r\nA=1\r\nB=2\r\nC=3\r\n[S2]\r\n", Encoding::Utf16LeBom);
    const auto list = [&](const wchar_t* section, const wchar_t* key, DWORD size) {
        std::vector<wchar_t> buffer(32, L'#');
        const DWORD result =
            GetPrivateProfileStringW(section, key, L"d", buffer.data(), size, dir.wfile("t.ini").c_str());
        return std::wstring(buffer.data(), std::min<DWORD>(result + 2, size));
    };
    EXPECT_EQ(list(nullptr, L"A", 32), std::wstring(L"S1\0S2\0\0#", 8));
    EXPECT_EQ(list(L"s1", nullptr, 32), std::wstring(L"A\0B\0C\0\0#", 8));
    EXPECT_EQ(list(L"S1", nullptr, 5), std::wstring(L"A\0B\0\0", 5)); // cut, and ends in two NULs
    EXPECT_EQ(list(L"S2", nullptr, 32), std::wstring(L"d\0#", 3));    // a section without keys gives the default
}

} // namespace
