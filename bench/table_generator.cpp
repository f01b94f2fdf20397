// The benchmark's string-table generator. Texts are pseudo-words drawn from
// each language's own alphabet, sized after the English UI strings (shorter for
// the ideographic scripts), so that decoding, parsing and copying see the byte
// and character mix of a real installation.
#include "table_generator.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>

#include "Util_StringLoader.h"
#include "platform/common/text_codec.h"

namespace bench {

namespace {

// Reaches the loader's string-name table, so the files use exactly its keys.
class KeyNames : public CUtilStringLoader {
public:
    static const ID2STRINGMAPPING* Rows() { return s_IDStringMapping; }
    static constexpr std::size_t kRows = sizeof(s_IDStringMapping) / sizeof(s_IDStringMapping[0]);
};

// English texts by string ID; 21 is a ";"-separated list of folder names.
const char* const kEnglish[24] = {
    "Approved Senders",
    "Are you sure you want to cancel? Any changes you made will be lost.",
    "Approved senders",
    "Add an email address or domain to your approved senders list:",
    "Example: someone@example.com or *@example.com",
    "Messages from these senders are never quarantined as spam.",
    "Add",
    "Remove",
    "Apply",
    "Cancel",
    "The list has reached its maximum size of %d entries. Remove an entry before adding a new one.",
    "Approve Sender",
    "View Approved Senders List",
    "Approved Senders",
    "Spam Mail",
    "Spam Mail Folder",
    "Approved Senders Form",
    "Your approved senders list has been updated",
    "End User Quarantine Monitor Service",
    "End User Quarantine Setup Service",
    "Inbox",
    "Inbox; Incoming Mail; Received",
    "Primary Mailbox",
    "Online Archive",
};

struct Script {
    const char* name;
    std::u32string_view letters;
    double lengthFactor; // text length relative to English
    bool spaces;         // words separated by blanks
};

constexpr std::u32string_view kLatin = U"abcdefghijklmnopqrstuvwxyz";

const std::map<std::string, std::u32string_view>& LatinExtras() {
    static const std::map<std::string, std::u32string_view> extras = {
        {"af", U"êëîôûé"},
        {"sq", U"çë"},
        {"az", U"çəğıöşü"},
        {"eu", U"ñ"},
        {"ca", U"àçèéíïòóúü"},
        {"hr", U"čćđšž"},
        {"cs", U"áčďéěíňóřšťúůýž"},
        {"da", U"æøå"},
        {"nl", U"éëï"},
        {"et", U"äöüõšž"},
        {"fo", U"áðíóúýæø"},
        {"fi", U"äö"},
        {"fr", U"éèêàâçôûîœ"},
        {"gl", U"áéíñóú"},
        {"de", U"äöüß"},
        {"hu", U"áéíóöőúüű"},
        {"is", U"áðéíóúýþæö"},
        {"id", U""},
        {"it", U"àèéìòù"},
        {"lt", U"ąčęėįšųūž"},
        {"ms", U""},
        {"no", U"æøå"},
        {"pl", U"ąćęłńóśźż"},
        {"pt", U"ãõáéíóúâêôç"},
        {"ro", U"ăâîșț"},
        {"sk", U"áäčďéíľĺňóôŕšťúýž"},
        {"sl", U"čšž"},
        {"es", U"áéíóúñü"},
        {"sw", U""},
        {"sv", U"åäö"},
        {"tr", U"çğıöşü"},
        {"uz", U"ʻ"},
        {"vi", U"ăâđêôơưạảấầẩẫậắằẳẵặẹẻẽếềểễệỉịọỏốồổỗộớờởỡợụủứừửữựỳỵỷỹ"},
    };
    return extras;
}

Script ScriptOf(const std::string& code, const std::string& locale) {
    static const std::map<std::string, Script> scripts = {
        {"ru", {"Cyrillic", U"абвгдеёжзийклмнопрстуфхцчшщъыьэюя", 1.15, true}},
        {"uk", {"Cyrillic", U"абвгґдеєжзиіїйклмнопрстуфхцчшщьюя", 1.15, true}},
        {"bg", {"Cyrillic", U"абвгдежзийклмнопрстуфхцчшщъьюя", 1.15, true}},
        {"be", {"Cyrillic", U"абвгдеёжзійклмнопрстуўфхцчшыьэюя", 1.15, true}},
        {"mk", {"Cyrillic", U"абвгдѓежзѕијклљмнњопрстќуфхцчџш", 1.15, true}},
        {"kk", {"Cyrillic", U"аәбвгғдеёжзийкқлмнңоөпрстуұүфхһцчшщыіэюя", 1.15, true}},
        {"ky", {"Cyrillic", U"абвгдеёжзийклмнңоөпрстуүфхцчшщыэюя", 1.15, true}},
        {"mn", {"Cyrillic", U"абвгдеёжзийклмноөпрстуүфхцчшщыьэюя", 1.15, true}},
        {"tt", {"Cyrillic", U"аәбвгдежҗзийклмнңоөпрстуүфхһцчшщыэюя", 1.15, true}},
        {"el", {"Greek", U"αβγδεζηθικλμνξοπρστυφχψωάέήίόύώ", 1.2, true}},
        {"ar", {"Arabic", U"ابتثجحخدذرزسشصضطظعغفقكلمنهوية", 1.0, true}},
        {"fa", {"Arabic", U"ابپتثجچحخدذرزژسشصضطظعغفقکگلمنوهی", 1.0, true}},
        {"ur", {"Arabic", U"ابپتٹثجچحخدڈذرڑزژسشصضطظعغفقکگلمنںوہھءیے", 1.0, true}},
        {"sd", {"Arabic", U"ابٻتٿٽثجڄڃچحخدڌڏذرڙزسشصضطظعغفڦقڪگلمنڻوهي", 1.0, true}},
        {"ks", {"Arabic", U"ابپتٹثجچحخدڈذرڑزژسشصضطظعغفقکگلمنوہھی", 1.0, true}},
        {"he", {"Hebrew", U"אבגדהוזחטיכךלמםנןסעפףצץקרשת", 0.9, true}},
        {"hi", {"Devanagari", U"अआइईउऊएऐओऔकखगघचछजझटठडढणतथदधनपफबभमयरलवशषसहािीुूेैोौं्", 1.1, true}},
        {"mr", {"Devanagari", U"अआइईउऊएऐओऔकखगघचछजझटठडढणतथदधनपफबभमयरलवशषसहळािीुूेैोौं्", 1.1, true}},
        {"sa", {"Devanagari", U"अआइईउऊऋएऐओऔकखगघङचछजझञटठडढणतथदधनपफबभमयरलवशषसहािीुूृेैोौंः्", 1.1, true}},
        {"ne", {"Devanagari", U"अआइईउऊएऐओऔकखगघचछजझटठडढणतथदधनपफबभमयरलवशषसहािीुूेैोौं्", 1.1, true}},
        {"bn", {"Bengali", U"অআইঈউঊএঐওঔকখগঘচছজঝটঠডঢণতথদধনপফবভমযরলশষসহািীুূেৈোৌং্", 1.1, true}},
        {"as", {"Bengali", U"অআইঈউঊএঐওঔকখগঘচছজঝটঠডঢণতথদধনপফবভমযৰলৱশষসহািীুূেৈোৌং্", 1.1, true}},
        {"gu", {"Gujarati", U"અઆઇઈઉઊએઐઓઔકખગઘચછજઝટઠડઢણતથદધનપફબભમયરલવશષસહાિીુૂેૈોૌં્", 1.1, true}},
        {"pa", {"Gurmukhi", U"ਅਆਇਈਉਊਏਐਓਔਕਖਗਘਚਛਜਝਟਠਡਢਣਤਥਦਧਨਪਫਬਭਮਯਰਲਵਸਹਾਿੀੁੂੇੈੋੌਂ", 1.1, true}},
        {"or", {"Oriya", U"ଅଆଇଈଉଊଏଐଓଔକଖଗଘଚଛଜଝଟଠଡଢଣତଥଦଧନପଫବଭମଯରଲଶଷସହାିୀୁୂେୈୋୌଂ", 1.1, true}},
        {"ta", {"Tamil", U"அஆஇஈஉஊஎஏஐஒஓஔகஙசஞடணதநபமயரலவழளறனாிீுூெேைொோௌ்", 1.3, true}},
        {"te", {"Telugu", U"అఆఇఈఉఊఎఏఐఒఓఔకఖగఘచఛజఝటఠడఢణతథదధనపఫబభమయరలవశషసహాిీుూెేైొోౌం్", 1.2, true}},
        {"kn", {"Kannada", U"ಅಆಇಈಉಊಎಏಐಒಓಔಕಖಗಘಚಛಜಝಟಠಡಢಣತಥದಧನಪಫಬಭಮಯರಲವಶಷಸಹಾಿೀುೂೆೇೈೊೋೌಂ್", 1.2, true}},
        {"ml", {"Malayalam", U"അആഇഈഉഊഎഏഐഒഓഔകഖഗഘചഛജഝടഠഡഢണതഥദധനപഫബഭമയരലവശഷസഹാിീുൂെേൈൊോൌം്", 1.3, true}},
        {"th", {"Thai", U"กขคงจฉชซญดตถทธนบปผพฟภมยรลวศษสหอฮะาำิีึืุูเแโใไ่้๊๋", 1.0, false}},
        {"ka", {"Georgian", U"აბგდევზთიკლმნოპჟრსტუფქღყშჩცძწჭხჯჰ", 1.2, true}},
        {"hy", {"Armenian", U"աբգդեզէըթժիլխծկհձղճմյնշոչպջռսվտրցւփքօֆ", 1.2, true}},
        {"ja",
         {"Japanese",
          U"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをんアイウエオカキ"
          U"クケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモ受信承認送信者一覧設定迷惑追加削除適用取消",
          0.45, false}},
        {"ko", {"Hangul", U"", 0.55, true}}, // syllables are drawn from the whole Hangul block
    };
    if (code == "zh") {
        if (locale == "zh_tw") {
            return {"Han (traditional)",
                    U"的一是不了人我在有他這中大來上國個到說們為子和你地出道也時年得就那要下以生會自著去之過家學對"
                    U"可她裡後小麼心多天而能好都然沒日於起還發成事只作當想看文無開手十用主行方又如前所本見經頭面公同",
                    0.35, false};
        }
        return {"Han (simplified)",
                U"的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家学对"
                U"可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面公同",
                0.35, false};
    }
    const auto found = scripts.find(code);
    if (found != scripts.end()) {
        return found->second;
    }
    static std::map<std::string, std::u32string> latinAlphabets;
    const auto extra = LatinExtras().find(code);
    std::u32string& letters = latinAlphabets[code];
    if (letters.empty()) {
        letters = std::u32string(kLatin);
    }
    if (letters.size() == kLatin.size() && extra != LatinExtras().end()) {
        // Diacritic letters appear about as often as in running text.
        for (int i = 0; i < 3; ++i) {
            letters += extra->second;
        }
    }
    return {code == "en" ? "Latin (ASCII)" : "Latin with diacritics", letters, 1.2, true};
}

// A small deterministic generator, so every run writes the same files.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        m_state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

private:
    std::uint64_t m_state;
};

std::u32string Word(const Script& script, Random& random, std::size_t length) {
    std::u32string word;
    for (std::size_t i = 0; i < length; ++i) {
        if (script.letters.empty()) {
            word += static_cast<char32_t>(0xAC00 + random.Below(11172)); // Hangul syllables
        } else {
            word += script.letters[random.Below(script.letters.size())];
        }
    }
    return word;
}

std::u32string Phrase(const Script& script, Random& random, std::size_t englishLength) {
    const auto target = static_cast<std::size_t>(static_cast<double>(englishLength) * script.lengthFactor + 0.5);
    std::u32string text;
    while (text.size() < std::max<std::size_t>(1, target)) {
        if (!text.empty() && script.spaces) {
            text += U' ';
        }
        const std::size_t wordLength = script.letters.empty() ? 1 + random.Below(3) : 2 + random.Below(8);
        text += Word(script, random, wordLength);
    }
    if (text.size() > target + 2 && target > 0) {
        text.resize(target);
    }
    return text;
}

std::u32string Ascii(std::string_view text) {
    return std::u32string(text.begin(), text.end());
}

std::u32string TextFor(const std::string& code, const Script& script, int stringID, Random& random) {
    const std::string_view english = kEnglish[stringID];
    if (code == "en") {
        return Ascii(english);
    }
    switch (stringID) {
    case 4: // the example keeps its addresses, as translators leave them
        return Phrase(script, random, 8) + U": someone@example.com, *@example.com";
    case 10: // the count placeholder stays in the text
        return Phrase(script, random, 40) + U" %d. " + Phrase(script, random, 45);
    case 21: // several names of the inbox, in the language and in English
        return Phrase(script, random, 5) + U"; " + Phrase(script, random, 12) + U";Inbox ; " +
               Phrase(script, random, 9);
    default:
        return Phrase(script, random, english.size());
    }
}

void AppendUtf16Le(std::string& out, char32_t cp) {
    basekit::detail::ForEachUtf16Unit(cp, [&out](char16_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    });
}

enum class Encoding { Utf16Le, Utf8Bom, Utf8 };

std::string Encode(const std::u32string& text, Encoding encoding) {
    std::string bytes;
    if (encoding == Encoding::Utf16Le) {
        bytes = "\xFF\xFE";
        for (const char32_t cp : text) {
            AppendUtf16Le(bytes, cp);
        }
    } else {
        if (encoding == Encoding::Utf8Bom) {
            bytes = "\xEF\xBB\xBF";
        }
        bytes += basekit::detail::EncodeUtf8(std::wstring(text.begin(), text.end()));
    }
    return bytes;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // locale names are ASCII
}

} // namespace

std::vector<std::wstring> KnownLocales() {
    const CUtilLocaleLCIDConverter converter;
    std::set<std::wstring> names;
    for (std::uint32_t id = 1; id <= 0xFFFF; ++id) {
        const basekit::WideString locale = converter.LangIDToLocale(id);
        if (!locale.empty()) {
            names.insert(locale.str());
        }
    }
    return std::vector<std::wstring>(names.begin(), names.end());
}

TableSetStats WriteStringTables(const std::string& directory, bool utf8Only) {
    TableSetStats stats;
    stats.keysPerFile = KeyNames::kRows;
    std::map<std::string, std::size_t> scriptFiles;
    std::size_t index = 0;
    for (const std::wstring& wideLocale : KnownLocales()) {
        const std::string locale = Narrow(wideLocale);
        const std::string code = locale.substr(0, 2);
        const Script script = ScriptOf(code, locale);
        ++scriptFiles[script.name];
        Random random(std::hash<std::string>{}(locale));

        // Windows tools write CR LF; an informational section precedes the strings.
        std::u32string text = U"[Info]\r\nLocale=" + Ascii(locale) + U"\r\nVersion=8.0.1042\r\n\r\n[Strings]\r\n";
        for (std::size_t row = 0; row < KeyNames::kRows; ++row) {
            const CUtilStringLoader::ID2STRINGMAPPING& mapping = KeyNames::Rows()[row];
            const std::u32string value = TextFor(code, script, mapping.stringID, random);
            stats.textChars += value.size();
            text +=
                std::u32string(mapping.keyName, mapping.keyName + std::char_traits<wchar_t>::length(mapping.keyName));
            text += U'=';
            text += value;
            text += U"\r\n";
        }

        // Scripts outside Latin, Greek and Cyrillic are mostly shipped as
        // UTF-16; a third of the others too; some UTF-8 files carry a BOM.
        Encoding encoding = Encoding::Utf8;
        const bool wideScript = script.letters.empty() || script.letters[0] > 0x590;
        if (!utf8Only) {
            if ((wideScript && index % 2 == 0) || code == "zh" || code == "ja" || code == "ko" || index % 3 == 0) {
                encoding = Encoding::Utf16Le;
            } else if (index % 5 == 1) {
                encoding = Encoding::Utf8Bom;
            }
        }
        ++index;
        const std::string bytes = Encode(text, encoding);
        const std::string path = directory + "/" + locale + ".cfg";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
        ++stats.files;
        stats.totalBytes += bytes.size();
        stats.smallestFile = stats.smallestFile == 0 ? bytes.size() : std::min(stats.smallestFile, bytes.size());
        stats.largestFile = std::max(stats.largestFile, bytes.size());
        switch (encoding) {
        case Encoding::Utf16Le:
            ++stats.utf16LeFiles;
            break;
        case Encoding::Utf8Bom:
            ++stats.utf8BomFiles;
            break;
        case Encoding::Utf8:
            ++stats.utf8Files;
            break;
        }
    }
    for (const auto& [name, count] : scriptFiles) {
        stats.scripts.push_back(name + ": " + std::to_string(count));
    }
    return stats;
}

} // namespace bench
