// The .reg parser and exporter of the Linux registry stand-in, fed bytes
// directly: which value lines reg import keeps or drops, key lines, headers
// and encodings, a byte-exact reg export file, and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/common/text_codec.h"
#include "platform/posix/registry_file.h"

namespace {

using namespace basekit::detail;
using namespace std::string_literals;
using S = RegistryParseStatus;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n";

// ASCII text as UTF-16LE.
std::string Utf16Le(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string Repeat(const std::string& unit, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

// A key and everything below it as text, to compare whole trees: each value as
// name=type/size:data, string types decoded from UTF-16 with '|' for a NUL.
std::string Dump(const RegistryNode* node) {
    static const RegistryNode kNone{};
    std::string out = (node != nullptr ? EncodeUtf8(node->name) : "none") + "{";
    for (const auto& [folded, v] : (node != nullptr ? *node : kNone).values) {
        std::string text = v.type == 1 || v.type == 2 || v.type == 7 ? EncodeUtf8(DecodeUtf16(v.data, false)) : v.data;
        std::replace(text.begin(), text.end(), '\0', '|');
        out +=
            EncodeUtf8(v.name) + "=" + std::to_string(v.type) + "/" + std::to_string(v.data.size()) + ":" + text + ";";
    }
    for (const auto& [folded, child] : (node != nullptr ? *node : kNone).subkeys) {
        out += Dump(child.get());
    }
    return out + "}";
}

std::string Parse(const std::string& bytes, const std::wstring& key) {
    const RegistryParseResult result = ParseRegistryFile(bytes);
    return result.status == S::kOk ? Dump(FindRegistryKey(*result.root, key)) : "bad file";
}

TEST(RegistryFileTest, ValueAndKeyLinesThatRegImportKeepsOrDrops) {
    // clang-format off
    const std::pair<const char*, std::string> cases[] = { // a value line in key K, and what K then holds
        {R"("v"="x")", "v=1/4:x|;"},                        {R"("v"="C:\\P \"q\" \r\n")", "v=1/24:C:\\P \"q\" \r\n|;"},
        {"\"v\"=\"\xF0\x9F\x98\x80\"", "v=1/6:\xF0\x9F\x98\x80|;"}, // a surrogate pair
        {R"("v"="x"   ; note)", "v=1/4:x|;"},               {"\t\"v\" \t=  \"x\"", "v=1/4:x|;"},
        {R"(@="d")", "=1/4:d|;"},                           {R"("a\"b\\c"="x")", "a\"b\\c=1/4:x|;"},
        {"\"v\"=dword:00000804", "v=4/4:\x04\x08||;"},      {"\"v\"=dword:aBcD", "v=4/4:\xCD\xAB||;"},
        {"\"v\"=dword: 804 ; a blank after the colon", "v=4/4:\x04\x08||;"},
        {"\"v\"=hex:01,ff,7", "v=3/3:\x01\xFF\x07;"},       {"\"v\"=hex: 01 , 02 ;c", "v=3/2:\x01\x02;"},
        {"\"v\"=hex:", "v=3/0:;"},                          {"\"v\"=hex(2):25,00,00,00", "v=2/4:%|;"}, // UTF-16 in 5.00 files
        {"\"v\"=hex(b):01,00,00,00,00,00,00,00", "v=11/8:\x01|||||||;"}, {"\"v\"=hex(7FFF):00", "v=32767/1:|;"},
        // Dropped, as reg import drops them:
        {R"("v"="a\tb")", ""}, {R"("v"="a\0")", ""}, {R"("v"="abc)", ""}, {R"("v"="abc\)", ""}, {R"("v"="x" y)", ""},
        {R"(@x="d")", ""}, {R"("a\qb"="x")", ""}, {R"("v" "x")", ""}, {R"("v"=)", ""}, {R"("v"=str:x)", ""},
        {"\"v\"=dword:  804", ""}, {"\"v\"=dword:0x804", ""}, {"\"v\"=dword:-1", ""}, {"\"v\"=dword:+1", ""},
        {"\"v\"=dword:000000001", ""}, {"\"v\"=DWORD:1", ""}, {"\"v\"=dword:", ""}, {"\"v\"=dword:12z", ""},
        {"\"v\"=hex(0x2):00", ""}, {"\"v\"=hex(2)00", ""}, {"\"v\"=hex:01,,02", ""}, {"\"v\"=hex:123", ""}, {"\"v\"=hex:0g", ""},
    };
    // clang-format on
    for (const auto& [line, value] : cases) {
        EXPECT_EQ(Parse(kHeader + "[HKLM\\K]\r\n" + line + "\r\n", L"K"), "K{" + value + "}") << line;
    }
    // Nothing leaks into another key or the root; SOFTWARE and Corvenic are created on the way, as reg import does.
    EXPECT_EQ(
        Parse(kHeader +
                  "\"orphan\"=\"x\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\n"
                  "\"S1\"=\"first\"\n\"s1\"=\"second\"\n\"gone\"=\"x\"\n\"GONE\"=-\n[hklm\\software\\CORVENIC\\Other]\n"
                  "\"keep\"=dword:1\n[HKEY_CURRENT_USER\\Software\\X]\n\"user\"=\"x\"\n[HKLM\\Doomed\\Child]\n"
                  "\"x\"=\"y\"\n[-HKLM\\DOOMED]\n\"afterDelete\"=\"x\"\n[HKLM\\broken\n\"afterBroken\"=\"x\"\n",
              L""),
        "{SOFTWARE{Corvenic{Other{keep=4/4:\x01|||;}Velmora{CurrentVersion{S1=1/14:second|;}}}}}");
}

TEST(RegistryFileTest, HeadersEncodingsAndContinuedHex) {
    // clang-format off
    const std::pair<std::string, S> cases[] = {
        {"Windows Registry Editor Version 5.00\n", S::kOk}, {" \tREGEDIT4\r\n", S::kOk}, {"\xFF\xFE" + Utf16Le(kHeader), S::kOk},
        {"\xEF\xBB\xBF" + kHeader, S::kOk}, {"regedit4\n", S::kBadHeader}, {"REGEDIT5\n", S::kBadHeader}, {"", S::kBadHeader},
        {"REGEDIT4 \n", S::kBadHeader}, {"\nREGEDIT4\n", S::kBadHeader}, {"\xFF\xFE", S::kBadHeader}, {"\xFF", S::kBadHeader},
        {Utf16Le(kHeader), S::kBadHeader}, {"\xFE\xFF\0R\0E\0G\0E\0D\0I\0T\0" "4\0\n"s, S::kBadHeader}, // UTF-16 needs its mark; UTF-16BE is not read
        {"\xEF\xBB\xBF" + kHeader + "\"v\"=\"\xFC\"\r\n", S::kBadEncoding},
    };
    // clang-format on
    for (const auto& [bytes, status] : cases) {
        EXPECT_EQ(ParseRegistryFile(bytes).status, status) << testing::PrintToString(bytes);
    }
    // Not valid UTF-8, so the text is Windows-1252; hex(2)/hex(7) in REGEDIT4 files are ANSI bytes too, decoded
    // on their own (here: valid UTF-8); REG_BINARY is never converted; the end of the file ends the data.
    // clang-format off
    EXPECT_EQ(Parse("REGEDIT4\n[HKLM\\K]\n\"s\"=\"Gr\xFC\xDF" "e \x80\"\n\"e\"=hex(2):25,41,25,c3,bc,00\n\"m\"=hex(7):61,00,62,00,00\n"
                    "\"b\"=hex:01,02,\\\r\n    03,04,  \\\n\t05\n\"tail\"=hex:0a,\\", L"K"),
              "K{b=3/5:\x01\x02\x03\x04\x05;e=2/10:%A%\u00FC|;m=7/10:a|b||;s=1/16:Gr\u00FC\u00DFe \u20AC|;tail=3/1:\n;}");
    // clang-format on
}

TEST(RegistryFileTest, ExportWritesWhatRegExportWritesWithin80Columns) {
    // clang-format off
    const std::string file = "\xFF\xFE" + Utf16Le(kHeader + "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic]\r\n\r\n[HKEY_LOCAL_MACHINE\\"
        "SOFTWARE\\Corvenic\\Velmora]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvenic\\Velmora\\CurrentVersion]\r\n"
        "\"EUQDefaultLangID\"=dword:00000804\r\n\"HomeDir\"=\"C:\\\\Program Files\\\\Corvenic\\\\Velmora\\\\\"\r\n\r\n");
    // clang-format on
    EXPECT_EQ(Parse(file, L"SOFTWARE\\Corvenic\\Velmora\\CurrentVersion"),
              "CurrentVersion{EUQDefaultLangID=4/4:\x04\x08||;HomeDir=1/70:C:\\Program Files\\Corvenic\\Velmora\\|;}");
    std::string exported;
    ASSERT_TRUE(ExportRegistryKey(*ParseRegistryFile(file).root, L"software\\corvenic", &exported)); // stored case
    EXPECT_EQ(exported, file);
    EXPECT_FALSE(ExportRegistryKey(*ParseRegistryFile(file).root, L"SOFTWARE\\Missing", &exported));
    // Exported lines stay within 80 characters, and the export parses back to the same tree.
    const std::string hex = Repeat("07,", 300) + "07";
    // REG_SZ data that "name"="text" cannot carry: odd size, no NUL, an inner NUL.
    // clang-format off
    const RegistryParseResult first = ParseRegistryFile(kHeader + "[HKLM\\A]\n@=\"dflt\"\n\"esc\"=\"q\\\"\\\\\\r\\n\"\n\"bin\"=hex:" + hex +
        "\n\"a rather long value name that pushes the data\"=hex(7):" + hex + "\n\"odd\"=hex(1):41\n\"noNul\"=hex(1):41,00\n"
        "\"innerNul\"=\"a\0b\"\n\"short\"=hex(4):01,02\n[HKLM\\A\\Sub]\n\"d\"=dword:ffffffff\n"s);
    // clang-format on
    ASSERT_TRUE(first.status == S::kOk && ExportRegistryKey(*first.root, L"", &exported));
    const std::wstring text = DecodeUtf16(exported.substr(2), false);
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find(L"\r\n", start);
        ASSERT_NE(end, std::wstring::npos) << "every line ends in CRLF";
        EXPECT_LE(end - start, 80u) << EncodeUtf8(text.substr(start, end - start));
        // After a line that ends in '\' comes one that starts with two blanks and then the data.
        EXPECT_TRUE(start < 3 || text[start - 3] != L'\\' || text.find_first_not_of(L' ', start) == start + 2);
    }
    EXPECT_EQ(Parse(exported, L""), Dump(first.root.get()));
}

TEST(RegistryFileTest, HostileInputNeverCrashesAndStaysLinear) {
    std::string file = kHeader + "[HKLM\\K]\n\"unbalanced\"=\"abc\n\"\n\"\n@\n\"nul\"=\"a\0b\"\n\"chain\"=hex:01,"s +
                       std::string(1000000, ' ') + "\\\n"; // blanks before the '\', then many empty continuations
    file += Repeat("\\\n  00,\\\n", 50000);
    const std::string deep = "[HKLM" + Repeat("\\d", kMaxRegistryDepth);
    file += "  00\n[\n[-\n]\n" + deep + "]\n" + deep + "\\tooDeep]\n[HKLM\\" + std::string(256, 'n') + "]\n";
    // K keeps what it can (the NUL is data, not a line end); keys nest 512 deep, no deeper; a 256-character name
    // is refused.
    EXPECT_EQ(Dump(ParseRegistryFile(file).root.get()),
              "{" + Repeat("d{", kMaxRegistryDepth) + std::string(kMaxRegistryDepth, '}') + "K{chain=3/50002:\x01" +
                  std::string(50001, '|') + ";nul=1/8:a|b|;}}");
}

} // namespace
