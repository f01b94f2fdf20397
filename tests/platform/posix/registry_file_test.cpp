// The .reg parser and exporter of the Linux registry stand-in, fed bytes
// directly: which value lines reg import keeps or drops, key lines, headers
// and encodings, a byte-exact reg export file, and hostile input.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/common/text_codec.h"
#include "platform/posix/registry_file.h"

namespace {

using basekit::detail::ExportRegistryKey;
using basekit::detail::FindRegistryKey;
using basekit::detail::ParseRegistryFile;
using basekit::detail::RegistryNode;
using basekit::detail::RegistryParseResult;
using basekit::detail::RegistryParseStatus;

constexpr std::uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7, kQword = 11;
const std::wstring kHeader = L"Windows Registry Editor Version 5.00\r\n";

std::string Utf16Le(const std::wstring& text) {
    std::string out;
    const auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (const wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(c);
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

// REG_SZ data as Windows stores it.
std::string Sz(const std::wstring& text) {
    return Utf16Le(text) + std::string(2, '\0');
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

RegistryParseResult ParseText(const std::wstring& text) {
    return ParseRegistryFile(basekit::detail::EncodeUtf8(text));
}

std::size_t CountValues(const RegistryNode& node) {
    std::size_t count = node.values.size();
    for (const auto& child : node.subkeys) {
        count += CountValues(*child.second);
    }
    return count;
}

void ExpectSameTree(const RegistryNode& a, const RegistryNode& b) {
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.values.size(), b.values.size()) << "in key " << testing::PrintToString(a.name);
    for (auto i = a.values.begin(), j = b.values.begin(); i != a.values.end(); ++i, ++j) {
        EXPECT_EQ(i->second.name, j->second.name);
        EXPECT_EQ(i->second.type, j->second.type);
        EXPECT_EQ(i->second.data, j->second.data);
    }
    ASSERT_EQ(a.subkeys.size(), b.subkeys.size());
    for (auto i = a.subkeys.begin(), j = b.subkeys.begin(); i != a.subkeys.end(); ++i, ++j) {
        ExpectSameTree(*i->second, *j->second);
    }
}

// The file around one value line, parsed; the key K that it lands in.
const RegistryNode* ParseValueLine(const std::wstring& line, RegistryParseResult* result) {
    *result = ParseText(kHeader + L"[HKLM\\K]\r\n" + line + L"\r\n");
    return result->status == RegistryParseStatus::kOk ? FindRegistryKey(*result->root, L"K") : nullptr;
}

TEST(RegistryFileTest, ValueLinesThatRegImportKeeps) {
    const struct {
        std::wstring line;
        std::wstring name;
        std::uint32_t type;
        std::string data;
    } cases[] = {
        {LR"("v"="x")", L"v", kSz, Sz(L"x")},
        {LR"("v"="C:\\P \"q\" \r\n")", L"v", kSz, Sz(L"C:\\P \"q\" \r\n")},
        {L"\"v\"=\"\U0001F600\"", L"v", kSz, Sz(L"\U0001F600")}, // stored as a surrogate pair
        {LR"("v"="x"   ; note)", L"v", kSz, Sz(L"x")},
        {L"\t\"v\" \t=  \"x\"", L"v", kSz, Sz(L"x")},
        {LR"(@="d")", L"", kSz, Sz(L"d")},
        {LR"("a\"b\\c"="x")", L"a\"b\\c", kSz, Sz(L"x")},
        {L"\"v\"=dword:00000804", L"v", kDword, Bytes({4, 8, 0, 0})},
        {L"\"v\"=dword:aBcD", L"v", kDword, Bytes({0xCD, 0xAB, 0, 0})},
        {L"\"v\"=dword: 804 ; one blank after the colon", L"v", kDword, Bytes({4, 8, 0, 0})},
        {L"\"v\"=hex:01,ff,7", L"v", kBinary, Bytes({1, 0xFF, 7})},
        {L"\"v\"=hex: 01 , 02 ;c", L"v", kBinary, Bytes({1, 2})},
        {L"\"v\"=hex:", L"v", kBinary, ""},
        {L"\"v\"=hex(2):25,00,00,00", L"v", kExpandSz, Bytes({0x25, 0, 0, 0})}, // UTF-16 bytes in 5.00 files
        {L"\"v\"=hex(b):01,00,00,00,00,00,00,00", L"v", kQword, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {L"\"v\"=hex(7FFF):00", L"v", 0x7FFF, Bytes({0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        RegistryParseResult result;
        const RegistryNode* key = ParseValueLine(c.line, &result);
        ASSERT_NE(key, nullptr);
        ASSERT_EQ(key->values.size(), 1u);
        const auto& value = key->values.begin()->second;
        EXPECT_EQ(value.name, c.name);
        EXPECT_EQ(value.type, c.type);
        EXPECT_EQ(value.data, c.data);
    }
}

TEST(RegistryFileTest, ValueLinesThatRegImportDrops) {
    const wchar_t* const lines[] = {
        LR"("v"="a\tb")",     LR"("v"="a\0")",      LR"("v"="abc)",     LR"("v"="abc\)",      LR"("v"="x" y)",
        LR"(@x="d")",         LR"("a\qb"="x")",     LR"("v" "x")",      LR"("v"=)",           LR"("v"=str:x)",
        L"\"v\"=dword:  804", L"\"v\"=dword:0x804", L"\"v\"=dword:-1",  L"\"v\"=dword:+1",    L"\"v\"=dword:000000001",
        L"\"v\"=DWORD:1",     L"\"v\"=dword:",      L"\"v\"=dword:12z", L"\"v\"=hex(0x2):00", L"\"v\"=hex(2)00",
        L"\"v\"=hex:01,,02",  L"\"v\"=hex:123",     L"\"v\"=hex:0g",
    };
    for (const wchar_t* line : lines) {
        SCOPED_TRACE(testing::PrintToString(line));
        RegistryParseResult result;
        const RegistryNode* key = ParseValueLine(line, &result);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->values.empty());
    }
}

TEST(RegistryFileTest, KeyLinesBuildOneCaseInsensitiveTreeOfLocalMachine) {
    const RegistryParseResult result = ParseText(kHeader + LR"(
"orphan"="before any key"
[HKEY_LOCAL_MACHINE\SOFTWARE\Corvenic\Velmora\CurrentVersion]
"S1"="first"
"s1"="second"
"gone"="x"
"GONE"=-
[hklm\software\CORVENIC\Other]
"keep"=dword:1
[HKEY_CURRENT_USER\Software\X]
"user"="not ours"
[HKLM\Doomed\Child]
"x"="y"
[-HKLM\DOOMED]
"afterDelete"="nowhere"
[HKLM\broken
"afterBroken"="nowhere"
)");
    ASSERT_EQ(result.status, RegistryParseStatus::kOk);
    const RegistryNode& root = *result.root;
    EXPECT_EQ(CountValues(root), 2u); // nothing leaks into another key or the root

    const RegistryNode* settings = FindRegistryKey(root, L"software\\corvenic\\velmora\\currentversion");
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->values.size(), 1u);
    EXPECT_EQ(settings->values.begin()->second.name, L"S1");
    EXPECT_EQ(settings->values.begin()->second.data, Sz(L"second"));
    EXPECT_EQ(settings->name, L"CurrentVersion");

    const RegistryNode* vendor = FindRegistryKey(root, L"SOFTWARE\\Corvenic");
    ASSERT_NE(vendor, nullptr); // created on the way, as reg import does
    EXPECT_EQ(vendor->subkeys.size(), 2u);
    EXPECT_EQ(FindRegistryKey(root, L"Software\\X"), nullptr);
    EXPECT_EQ(FindRegistryKey(root, L"Doomed"), nullptr);
}

TEST(RegistryFileTest, HeaderAndEncodingDecideWhetherTheFileParses) {
    using S = RegistryParseStatus;
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    const std::pair<std::string, S> cases[] = {
        {"Windows Registry Editor Version 5.00\n", S::kOk},
        {" \tREGEDIT4\r\n", S::kOk},
        {"\xFF\xFE" + Utf16Le(kHeader), S::kOk},
        {"\xEF\xBB\xBF" + header, S::kOk},
        {"regedit4\n", S::kBadHeader},
        {"REGEDIT5\n", S::kBadHeader},
        {"REGEDIT4 \n", S::kBadHeader},
        {"", S::kBadHeader},
        {"\nREGEDIT4\n", S::kBadHeader},
        {"\xFF\xFE", S::kBadHeader},
        {"\xFF", S::kBadHeader},
        {Utf16Le(kHeader), S::kBadHeader},                            // UTF-16 needs its byte-order mark
        {Bytes({0xFE, 0xFF, 0, 'R', 0, 'E', 0, 'G'}), S::kBadHeader}, // UTF-16BE is not recognised
        {"\xEF\xBB\xBF" + header + "\"v\"=\"\xFC\"\r\n", S::kBadEncoding},
    };
    for (const auto& [bytes, status] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(ParseRegistryFile(bytes).status, status);
    }
}

TEST(RegistryFileTest, AnsiFilesAndRegedit4HexStringsAndContinuedHex) {
    // Not valid UTF-8, so the text is Windows-1252; hex(2)/hex(7) in REGEDIT4
    // files are ANSI bytes too, decoded on their own (here: valid UTF-8).
    const RegistryParseResult result = ParseRegistryFile("REGEDIT4\n[HKLM\\K]\n"
                                                         "\"s\"=\"Gr\xFC\xDF"
                                                         "e \x80\"\n"
                                                         "\"e\"=hex(2):25,41,25,c3,bc,00\n"
                                                         "\"m\"=hex(7):61,00,62,00,00\n"
                                                         "\"b\"=hex:01,02,\\\r\n"
                                                         "    03,04,  \\\n"
                                                         "\t05\n"
                                                         "\"next\"=\"after\"\n"
                                                         "\"tail\"=hex:0a,\\");
    ASSERT_EQ(result.status, RegistryParseStatus::kOk);
    const RegistryNode* key = FindRegistryKey(*result.root, L"K");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.at(L"S").data, Sz(L"Gr\u00FC\u00DFe \u20AC"));
    EXPECT_EQ(key->values.at(L"E").data, Sz(L"%A%\u00FC"));
    EXPECT_EQ(key->values.at(L"M").data, Utf16Le(std::wstring(L"a\0b\0", 4)) + std::string(2, '\0'));
    EXPECT_EQ(key->values.at(L"M").type, kMultiSz);
    EXPECT_EQ(key->values.at(L"B").data, Bytes({1, 2, 3, 4, 5})); // REG_BINARY is never converted
    EXPECT_EQ(key->values.at(L"NEXT").data, Sz(L"after"));
    EXPECT_EQ(key->values.at(L"TAIL").data, Bytes({10})); // the end of the file ends the data
}

TEST(RegistryFileTest, RegExportFileParsesAndExportsByteForByte) {
    const std::string file =
        "\xFF\xFE" + Utf16Le(L"Windows Registry Editor Version 5.00\r\n\r\n"
                             L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic]\r\n\r\n"
                             L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora]\r\n\r\n"
                             L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n"
                             L"\"EUQDefaultLangID\"=dword:00000804\r\n"
                             L"\"HomeDir\"=\"C:\\\\Program Files\\\\Corvenic\\\\Velmora\\\\\"\r\n\r\n");
    ASSERT_EQ(file.size(), 570u);
    const RegistryParseResult result = ParseRegistryFile(file);
    ASSERT_EQ(result.status, RegistryParseStatus::kOk);
    const RegistryNode* key = FindRegistryKey(*result.root, L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.at(L"HOMEDIR").data, Sz(L"C:\\Program Files\\Corvenic\\Velmora\\"));
    EXPECT_EQ(key->values.at(L"HOMEDIR").data.size(), 70u);
    EXPECT_EQ(key->values.at(L"EUQDEFAULTLANGID").data, Bytes({4, 8, 0, 0}));

    std::string exported;
    ASSERT_TRUE(ExportRegistryKey(*result.root, L"software\\corvenic", &exported)); // stored case comes back
    EXPECT_EQ(exported, file);
    EXPECT_FALSE(ExportRegistryKey(*result.root, L"SOFTWARE\\Missing", &exported));
}

TEST(RegistryFileTest, ExportKeepsLinesWithin80CharactersAndParsesBackToTheSameTree) {
    std::wstring longHex;
    for (int i = 0; i < 300; ++i) {
        longHex += (i == 0 ? L"0" : L",0") + std::to_wstring(i % 10);
    }
    std::wstring input = kHeader + L"[HKLM\\A]\n@=\"dflt\"\n";
    input += L"\"esc\"=\"q\\\"\\\\\\r\\n\\u\"\n"; // dropped: unknown escape
    input += L"\"esc\"=\"q\\\"\\\\\\r\\n\"\n";
    input += L"\"bin\"=hex:" + longHex + L"\n";
    input += L"\"a rather long value name that pushes the data\"=hex(7):" + longHex + L"\n";
    // REG_SZ data that "name"="text" cannot carry: odd size, no NUL, an inner NUL.
    input += L"\"odd\"=hex(1):41\n\"noNul\"=hex(1):41,00\n\"innerNul\"=\"a" + std::wstring(1, L'\0') + L"b\"\n";
    input += L"\"short\"=hex(4):01,02\n[HKLM\\A\\Sub]\n\"d\"=dword:ffffffff\n";
    const RegistryParseResult first = ParseText(input);
    ASSERT_EQ(first.status, RegistryParseStatus::kOk);
    std::string exported;
    ASSERT_TRUE(ExportRegistryKey(*first.root, L"", &exported));

    const std::wstring text = basekit::detail::DecodeUtf16(exported.substr(2), false);
    bool continued = false;
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find(L"\r\n", start);
        ASSERT_NE(end, std::wstring::npos) << "every line ends in CRLF";
        const std::wstring line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << testing::PrintToString(line);
        if (continued) {
            EXPECT_EQ(line.substr(0, 2), L"  ");
            EXPECT_NE(line[2], L' ');
        }
        continued = !line.empty() && line.back() == L'\\';
    }
    const RegistryParseResult second = ParseRegistryFile(exported);
    ASSERT_EQ(second.status, RegistryParseStatus::kOk);
    ExpectSameTree(*first.root, *second.root);
}

TEST(RegistryFileTest, HostileInputNeverCrashesAndStaysLinear) {
    const std::wstring longText(10000, L'x');
    std::wstring file = kHeader + L"[HKLM\\K]\n\"HomeDir\"=\"" + longText + L"\"\n";
    file += L"\"unbalanced\"=\"abc\n\"\n\"\n@\n\"nul\"=\"a" + std::wstring(1, L'\0') + L"b\"\n";
    file += L"\"chain\"=hex:01," + std::wstring(1000000, L' ') + L"\\\n"; // blanks before the '\'
    for (int i = 0; i < 100000; ++i) {
        file += i % 2 == 0 ? L"\\\n" : L"  00,\\\n";
    }
    file += L"  00\n[\n[-\n]\n";
    std::wstring deep = L"[HKLM";
    for (std::size_t i = 0; i < basekit::detail::kMaxRegistryDepth; ++i) {
        deep += L"\\d";
    }
    file += deep + L"]\n" + deep + L"\\tooDeep]\n[HKLM\\" + std::wstring(256, L'n') + L"]\n";

    const RegistryParseResult result = ParseText(file);
    ASSERT_EQ(result.status, RegistryParseStatus::kOk);
    const RegistryNode* key = FindRegistryKey(*result.root, L"K");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.at(L"HOMEDIR").data, Sz(longText));
    EXPECT_EQ(key->values.at(L"NUL").data, Sz(std::wstring(L"a\0b", 3))); // the NUL is data, not a line end
    EXPECT_EQ(key->values.at(L"CHAIN").data.size(), 1u + 50000u + 1u);
    EXPECT_EQ(key->values.count(L"UNBALANCED"), 0u);
    EXPECT_NE(FindRegistryKey(*result.root, deep.substr(6)), nullptr);
    EXPECT_EQ(FindRegistryKey(*result.root, deep.substr(6) + L"\\tooDeep"), nullptr);
    EXPECT_EQ(result.root->subkeys.size(), 2u); // K and d; the 256-character name is refused
}

TEST(RegistryFileTest, MutatedFilesParseAndTheirExportParsesToTheSameTree) {
    const std::string seeds[] = {
        "\xFF\xFE" + Utf16Le(kHeader + L"[HKLM\\S\\T]\r\n\"v\"=\"a\\\\b\"\r\n\"b\"=hex:01,\\\r\n  02\r\n@=dword:7\r\n"),
        basekit::detail::EncodeUtf8(L"REGEDIT4\n[hklm\\s]\n\"e\"=hex(2):41,00\n[-HKLM\\s\\x]\n\"q\"=-\n"
                                    L"\"s\"=\"x\\\"y\"\n\"t\"=\"\\r\\n\"\n"),
    };
    const char specials[] = {'\\', '"', '[', ']', '\n', '\r', '\0', '=', ',', ';', '-', '\xFF', '@'};
    std::mt19937 random(20240611);
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = seeds[round % 2];
        for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
            const std::size_t at = random() % (bytes.size() + 1);
            const char c = random() % 2 == 0 ? specials[random() % sizeof(specials)] : static_cast<char>(random());
            switch (random() % 3) {
            case 0:
                bytes.insert(at, 1, c);
                break;
            case 1:
                bytes.erase(at, 1);
                break;
            default:
                bytes.resize(at);
                break;
            }
        }
        const RegistryParseResult first = ParseRegistryFile(bytes);
        if (first.status != RegistryParseStatus::kOk) {
            continue;
        }
        std::string exported;
        ASSERT_TRUE(ExportRegistryKey(*first.root, L"", &exported));
        const RegistryParseResult second = ParseRegistryFile(exported);
        ASSERT_EQ(second.status, RegistryParseStatus::kOk) << testing::PrintToString(bytes);
        SCOPED_TRACE(testing::PrintToString(bytes));
        ExpectSameTree(*first.root, *second.root);
    }
}

} // namespace
