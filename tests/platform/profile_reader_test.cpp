// GetPrivateProfileStringW as the loader uses it, limited to behaviour that
// Windows and the Linux stand-in share, so this file also runs against the real
// call. Files are UTF-16LE with a byte-order mark, the one encoding both decode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_files.h"
#include "win32_api.h"

namespace {

using testsupport::Encoding;
using testsupport::TempDir;
using testsupport::WriteTextFile;

constexpr DWORD kLoaderBufferChars = 1024;
const std::wstring kDefault = L"Cannot load string:K";

struct Read {
    DWORD result;
    std::wstring text;
};

Read ReadKey(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
             DWORD size = kLoaderBufferChars) {
    std::vector<wchar_t> buffer(size + 1, L'#');
    const DWORD result = GetPrivateProfileStringW(section, key, defaultText, buffer.data(), size, file.c_str());
    return Read{result, std::wstring(buffer.data())};
}

// One line (or a few) inside the first [Strings], read as key K.
struct LineCase {
    const char* name;
    const wchar_t* lines;
    const wchar_t* expected; // nullptr: the default
};

const LineCase kLineCases[] = {
    {"plain", L"K=v", L"v"},
    {"spaces around name and value", L"  K  =  v  ", L"v"},
    {"ascii case folded", L"k=v", L"v"},
    {"empty value", L"K=", L""},
    {"blank value", L"K=   ", L""},
    {"empty double quotes", L"K=\"\"", L""},
    {"double quoted", L"K=\"v\"", L"v"},
    {"single quoted", L"K='v'", L"v"},
    {"quoted after trimming", L"K= \"v\" ", L"v"},
    {"quotes keep inner spaces", L"K=\"  x  \"", L"  x  "},
    {"inner quotes kept", L"K=\"say \"hi\" x\"", L"say \"hi\" x"},
    {"mismatched quotes", L"K=\"v'", L"\"v'"},
    {"opening quote only", L"K=\"v", L"\"v"},
    {"lone quote", L"K=\"", L"\""},
    {"three quotes", L"K=\"\"\"", L"\""},
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
};

TEST(ProfileReaderTest, LinesInsideStrings) {
    TempDir dir;
    for (const LineCase& row : kLineCases) {
        SCOPED_TRACE(row.name);
        const std::wstring file = dir.wfile("t.ini");
        WriteTextFile(dir.file("t.ini"), L"[Other]\r\nK=other\r\n[Strings]\r\n" + std::wstring(row.lines) + L"\r\n",
                      Encoding::Utf16LeBom);
        const std::wstring expected = row.expected ? row.expected : kDefault;
        const Read read = ReadKey(file, L"Strings", L"K", kDefault.c_str());
        EXPECT_EQ(read.text, expected);
        EXPECT_EQ(read.result, expected.size());
    }
}

// Whole files: sections, line breaks and the names a caller asks for.
struct FileCase {
    const char* name;
    const wchar_t* content;
    const wchar_t* section;
    const wchar_t* expected; // nullptr: the default
};

const FileCase kFileCases[] = {
    {"keys before any header", L"K=v\r\n[Strings]\r\nA=1", L"Strings", nullptr},
    {"only the first section counts", L"[Strings]\r\nA=1\r\n[strings]\r\nK=v", L"Strings", nullptr},
    {"header trimmed, tail ignored", L"[ Strings ] ; c\r\nK=v", L"Strings", L"v"},
    {"unclosed header stays in section", L"[Other]\r\n[Strings\r\nK=v", L"Strings", nullptr},
    {"requested names are trimmed", L"[Strings]\r\nK=v", L"  Strings\t", L"v"},
    {"section case folded", L"[strings]\r\nK=v", L"STRINGS", L"v"},
    {"LF only, no final break", L"[Strings]\nK=v", L"Strings", L"v"},
    {"CR only", L"[Strings]\rK=v\r", L"Strings", L"v"},
    {"LF CR and CR CR LF", L"[Strings]\n\rJ=1\r\r\nK=v", L"Strings", L"v"},
    {"blank and space-only lines", L"\r\n \t\r\n[Strings]\r\n\r\n  \r\nK=v\r\n\r\n", L"Strings", L"v"},
    {"empty file", L"", L"Strings", nullptr},
};

TEST(ProfileReaderTest, FileStructure) {
    TempDir dir;
    for (const FileCase& row : kFileCases) {
        SCOPED_TRACE(row.name);
        WriteTextFile(dir.file("t.ini"), row.content, Encoding::Utf16LeBom);
        const Read read = ReadKey(dir.wfile("t.ini"), row.section, L"\tK ", kDefault.c_str());
        EXPECT_EQ(read.text, row.expected ? row.expected : kDefault);
    }
}

TEST(ProfileReaderTest, DefaultIsTrimmedOfSpacesAndUnquoted) {
    TempDir dir;
    WriteTextFile(dir.file("t.ini"), L"[Strings]\r\nA=1\r\n");
    const struct {
        const wchar_t* defaultText;
        const wchar_t* expected;
    } rows[] = {{L"dflt  ", L"dflt"}, {L"dflt\t", L"dflt\t"}, {L"   ", L" "},
                {L"", L""},           {nullptr, L""},         {L"\"q\"", L"q"}};
    for (const auto& row : rows) {
        const Read read = ReadKey(dir.wfile("t.ini"), L"Strings", L"K", row.defaultText);
        EXPECT_EQ(read.text, row.expected);
        EXPECT_EQ(read.result, read.text.size());
    }
}

TEST(ProfileReaderTest, UnreadableFilesGiveTheDefault) {
    TempDir dir;
    testsupport::MakeDirectory(dir.file("sub.ini"));
    for (const std::wstring& file :
         {dir.wfile("missing.ini"), dir.wfile("nodir/t.ini"), dir.wfile("sub.ini"), std::wstring()}) {
        const Read read = ReadKey(file, L"Strings", L"K", kDefault.c_str());
        EXPECT_EQ(read.text, kDefault);
        EXPECT_EQ(read.result, kDefault.size());
    }
}

TEST(ProfileReaderTest, BothSeparatorsWork) {
    TempDir dir;
    WriteTextFile(dir.file("t.ini"), L"[Strings]\r\nK=v\r\n", Encoding::Utf16LeBom);
    EXPECT_EQ(ReadKey(dir.wpath() + L"\\t.ini", L"Strings", L"K", L"d").text, L"v");
    EXPECT_EQ(ReadKey(dir.wpath() + L"/t.ini", L"Strings", L"K", L"d").text, L"v");
}

TEST(ProfileReaderTest, TruncatesToBufferSize) {
    TempDir dir;
    const std::wstring longValue(1500, L'x');
    WriteTextFile(dir.file("t.ini"), L"[Strings]\r\nL=" + longValue + L"\r\nS=helloworld\r\nQ=\"hello\"\r\n");
    const std::wstring file = dir.wfile("t.ini");
    EXPECT_EQ(ReadKey(file, L"Strings", L"L", L"d").result, kLoaderBufferChars - 1);
    EXPECT_EQ(ReadKey(file, L"Strings", L"L", L"d").text, longValue.substr(0, kLoaderBufferChars - 1));
    EXPECT_EQ(ReadKey(file, L"Strings", L"S", L"d", 6).text, L"hello");
    EXPECT_EQ(ReadKey(file, L"Strings", L"Q", L"d", 7).text, L"hello");
    EXPECT_EQ(ReadKey(file, L"Strings", L"Q", L"d", 4).text, L"hel");
    EXPECT_EQ(ReadKey(file, L"Strings", L"K", L"default", 4).text, L"def");
    const Read one = ReadKey(file, L"Strings", L"S", L"d", 1);
    EXPECT_EQ(one.result, 0u);
    EXPECT_EQ(one.text, L"");

    wchar_t untouched[2] = {L'#', L'\0'};
    EXPECT_EQ(GetPrivateProfileStringW(L"Strings", L"S", L"d", untouched, 0, file.c_str()), 0u);
    EXPECT_EQ(untouched[0], L'#');
}

TEST(ProfileReaderTest, NullSectionOrKeyListsNames) {
    TempDir dir;
    WriteTextFile(dir.file("t.ini"), L"[S1]\r\nA=1\r\nB=2\r\nC=3\r\n[S2]\r\n", Encoding::Utf16LeBom);
    const std::wstring file = dir.wfile("t.ini");
    wchar_t buffer[32];
    ASSERT_EQ(GetPrivateProfileStringW(nullptr, L"A", L"d", buffer, 32, file.c_str()), 6u);
    EXPECT_EQ(std::wstring(buffer, 7), std::wstring(L"S1\0S2\0", 7));
    ASSERT_EQ(GetPrivateProfileStringW(L"s1", nullptr, L"d", buffer, 32, file.c_str()), 6u);
    EXPECT_EQ(std::wstring(buffer, 7), std::wstring(L"A\0B\0C\0", 7));
    // A list that does not fit is cut and ends in two NULs.
    ASSERT_EQ(GetPrivateProfileStringW(L"S1", nullptr, L"d", buffer, 5, file.c_str()), 3u);
    EXPECT_EQ(std::wstring(buffer, 5), std::wstring(L"A\0B\0\0", 5));
    // A section without keys gives the default.
    ASSERT_EQ(GetPrivateProfileStringW(L"S2", nullptr, L"d", buffer, 32, file.c_str()), 1u);
    EXPECT_EQ(std::wstring(buffer), L"d");
}

} // namespace
