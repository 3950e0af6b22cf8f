#include "checks/languages.h"

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include "core/text/ascii.h"
#include "core/text/utf8.h"

#ifdef QUILLFEN_SENTENCES
#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>
#endif

namespace quillfen {

namespace {

std::u32string Decode(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(utf8, i, c);
        out += c;
        i += len ? len : 1;
    }
    return out;
}

struct TWordList {
    std::string_view Language;
    // "word word|word word|..." for 0, 1, 2, ... separated by '|'.
    std::string_view Numbers;
    std::string_view Doubled;  // blank-separated
};

// Words for the numbers 0 to 12 as texts write them where a source has digits (and the other
// way round), in the forms they commonly take; and the words a language may write twice in a row.
constexpr std::array<TWordList, 14> kWords = {{
    {"en", "zero|one|two|three|four|five|six|seven|eight|nine|ten|eleven|twelve", "that had"},
    {"de",
     "null|eins ein eine einen einem einer eines|zwei|drei|vier|f\xC3\xBCnf|sechs|sieben|acht|"
     "neun|zehn|elf|zw\xC3\xB6lf",
     "die der das sie"},
    {"fr", "z\xC3\xA9ro|un une|deux|trois|quatre|cinq|six|sept|huit|neuf|dix|onze|douze",
     "nous vous"},
    {"es", "cero|uno una un|dos|tres|cuatro|cinco|seis|siete|ocho|nueve|diez|once|doce", ""},
    {"it", "zero|uno una un|due|tre|quattro|cinque|sei|sette|otto|nove|dieci|undici|dodici", ""},
    {"pt", "zero|um uma|dois duas|tr\xC3\xAAs|quatro|cinco|seis|sete|oito|nove|dez|onze|doze", ""},
    {"nl", "nul|een \xC3\xA9\xC3\xA9n|twee|drie|vier|vijf|zes|zeven|acht|negen|tien|elf|twaalf",
     "dat die"},
    {"sv", "noll|en ett|tv\xC3\xA5|tre|fyra|fem|sex|sju|\xC3\xA5tta|nio|tio|elva|tolv", ""},
    {"pl",
     "zero|jeden jedna jedno|dwa dwie dw\xC3\xB3"
     "ch|trzy trzech|cztery czterech|pi\xC4\x99\xC4\x87 pi\xC4\x99"
     "ciu|sze\xC5\x9B\xC4\x87|siedem|osiem|dziewi\xC4\x99\xC4\x87|dziesi\xC4\x99\xC4\x87|"
     "jedena\xC5\x9B"
     "cie|dwana\xC5\x9B"
     "cie",
     ""},
    {"cs",
     "nula|jeden jedna jedno jednoho jedn\xC3\xA9|dva dv\xC4\x9B dvou|t\xC5\x99i t\xC5\x99\xC3\xAD|"
     "\xC4\x8Dty\xC5\x99i \xC4\x8Dty\xC5\x99|p\xC4\x9Bt|\xC5\xA1"
     "est|sedm|osm|dev\xC4\x9Bt|deset|jeden\xC3\xA1"
     "ct|dvan\xC3\xA1"
     "ct",
     ""},
    {"ru",
     "\xD0\xBD\xD0\xBE\xD0\xBB\xD1\x8C \xD0\xBD\xD1\x83\xD0\xBB\xD1\x8C|"
     "\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBD \xD0\xBE\xD0\xB4\xD0\xBD\xD0\xB0 \xD0\xBE\xD0\xB4\xD0\xBD"
     "\xD0\xBE \xD0\xBE\xD0\xB4\xD0\xBD\xD1\x83|"
     "\xD0\xB4\xD0\xB2\xD0\xB0 \xD0\xB4\xD0\xB2\xD0\xB5 \xD0\xB4\xD0\xB2\xD1\x83\xD1\x85|"
     "\xD1\x82\xD1\x80\xD0\xB8 \xD1\x82\xD1\x80\xD1\x91\xD1\x85 \xD1\x82\xD1\x80\xD0\xB5\xD1\x85|"
     "\xD1\x87\xD0\xB5\xD1\x82\xD1\x8B\xD1\x80\xD0\xB5|\xD0\xBF\xD1\x8F\xD1\x82\xD1\x8C|"
     "\xD1\x88\xD0\xB5\xD1\x81\xD1\x82\xD1\x8C|\xD1\x81\xD0\xB5\xD0\xBC\xD1\x8C|"
     "\xD0\xB2\xD0\xBE\xD1\x81\xD0\xB5\xD0\xBC\xD1\x8C|"
     "\xD0\xB4\xD0\xB5\xD0\xB2\xD1\x8F\xD1\x82\xD1\x8C|"
     "\xD0\xB4\xD0\xB5\xD1\x81\xD1\x8F\xD1\x82\xD1\x8C|"
     "\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBD\xD0\xBD\xD0\xB0\xD0\xB4\xD1\x86\xD0\xB0\xD1\x82\xD1\x8C|"
     "\xD0\xB4\xD0\xB2\xD0\xB5\xD0\xBD\xD0\xB0\xD0\xB4\xD1\x86\xD0\xB0\xD1\x82\xD1\x8C",
     ""},
    // Chinese and Japanese numerals stand inside words; they are looked for as characters.
    {"ja",
     "\xE3\x80\x87 \xE9\x9B\xB6|\xE4\xB8\x80|\xE4\xBA\x8C|\xE4\xB8\x89|\xE5\x9B\x9B|\xE4\xBA\x94|"
     "\xE5\x85\xAD|\xE4\xB8\x83|\xE5\x85\xAB|\xE4\xB9\x9D|\xE5\x8D\x81",
     ""},
    {"zh",
     "\xE3\x80\x87 \xE9\x9B\xB6|\xE4\xB8\x80|\xE4\xBA\x8C \xE4\xB8\xA4 \xE5\x85\xA9|\xE4\xB8\x89|"
     "\xE5\x9B\x9B|\xE4\xBA\x94|\xE5\x85\xAD|\xE4\xB8\x83|\xE5\x85\xAB|\xE4\xB9\x9D|"
     "\xE5\x8D\x81",
     ""},
    {"el", "", ""},
}};

void AddWords(const TWordList& list, TLanguageConventions& c) {
    int value = 0;
    std::size_t from = 0;
    const std::string_view numbers = list.Numbers;
    for (std::size_t i = 0; i <= numbers.size(); ++i) {
        if (i < numbers.size() && numbers[i] != ' ' && numbers[i] != '|') continue;
        if (i > from) c.NumberWords.emplace_back(value, Decode(numbers.substr(from, i - from)));
        if (i < numbers.size() && numbers[i] == '|') ++value;
        from = i + 1;
    }
    from = 0;
    const std::string_view doubled = list.Doubled;
    for (std::size_t i = 0; i <= doubled.size(); ++i) {
        if (i < doubled.size() && doubled[i] != ' ') continue;
        if (i > from) c.DoubledWords.push_back(Decode(doubled.substr(from, i - from)));
        from = i + 1;
    }
}

bool Among(std::string_view language, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), language) != list.end();
}

const std::u32string kSpaces = U" \u00A0\u202F\u2009";

// A group separator as the checks accept it: every blank where a language groups with one.
std::u32string GroupsFor(char32_t group) {
    if (group == ' ' || group == 0xA0 || group == 0x202F || group == 0x2009) return kSpaces;
    if (group == 0x2019 || group == '\'') return U"'\u2019\u00A0\u202F\u2009";
    return std::u32string(1, group) + U"\u00A0\u202F\u2009";
}

#ifdef QUILLFEN_SENTENCES
// The languages ICU has locale data for.
const std::set<std::string>& IcuLanguages() {
    static const std::set<std::string> languages = [] {
        std::set<std::string> out;
        const int32_t n = uloc_countAvailable();
        for (int32_t i = 0; i < n; ++i) {
            const std::string name = uloc_getAvailable(i);
            out.insert(name.substr(0, name.find('_')));
        }
        return out;
    }();
    return languages;
}

bool IcuNumbers(const std::string& tag, const std::string& language, TLanguageConventions& c) {
    if (IcuLanguages().count(language) == 0) return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale = icu::Locale::forLanguageTag(tag, status);
    if (U_FAILURE(status)) return false;
    const icu::DecimalFormatSymbols symbols(locale, status);
    if (U_FAILURE(status)) return false;
    const icu::UnicodeString& decimal =
        symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol);
    const icu::UnicodeString& group =
        symbols.getConstSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol);
    if (decimal.length() == 0 || group.length() == 0) return false;
    c.Decimal = char32_t(decimal.char32At(0));
    c.Groups = GroupsFor(char32_t(group.char32At(0)));
    return true;
}
#endif

#ifndef QUILLFEN_SENTENCES
// Without ICU: the separators of the languages pages are commonly written in, as ICU gives them.
bool TableNumbers(const std::string& language, std::string_view region, TLanguageConventions& c) {
    if (Among(language, {"en", "ja", "zh", "ko", "hi", "th", "he", "ga", "mt", "ms", "ta", "bn"})) {
        c.Decimal = '.';
        c.Groups = GroupsFor(',');
    } else if (Among(language, {"de", "es", "it", "pt", "nl", "da", "el", "id", "tr", "ro", "hr",
                                "sl", "sr", "vi", "is", "ca", "gl", "eu"})) {
        c.Decimal = ',';
        c.Groups = GroupsFor('.');
        if (language == "de" && (region == "ch" || region == "li")) {
            c.Decimal = '.';
            c.Groups = GroupsFor(0x2019);
        }
    } else if (Among(language, {"fr", "ru", "cs", "pl", "sv", "nb", "nn", "no", "fi", "uk", "sk",
                                "hu", "bg", "et", "lv", "lt", "be", "kk"})) {
        c.Decimal = ',';
        c.Groups = kSpaces;
    } else if (Among(language, {"ar", "fa"})) {
        c.Decimal = 0x66B;
        c.Groups = GroupsFor(0x66C);
    } else {
        return false;
    }
    return true;
}
#endif

}  // namespace

TLanguageConventions LanguageConventions(std::string_view tag) {
    TLanguageConventions c;
    std::string normal = LowerAscii(tag);
    std::replace(normal.begin(), normal.end(), '_', '-');
    const std::string language = normal.substr(0, normal.find('-'));
    // The region: the first later subtag of two letters or three digits.
    std::string_view region;
    for (std::size_t at = normal.find('-'); at != std::string::npos;) {
        const std::size_t next = normal.find('-', at + 1);
        const std::string_view part = std::string_view(normal).substr(
            at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        if (part.size() == 2 || (part.size() == 3 && part[0] >= '0' && part[0] <= '9')) {
            region = part;
            break;
        }
        at = next;
    }
    const bool known = !language.empty() && language != "und" && language.size() <= 3;
    if (known) {
        c.Language = language;
#ifdef QUILLFEN_SENTENCES
        c.NumbersKnown = IcuNumbers(normal, language, c);
#else
        c.NumbersKnown = TableNumbers(language, region, c);
#endif
        c.BlankBeforeColon = language == "fr";
        c.BlankBeforeQuestion = language == "fr" && region != "ca";
        c.InvertedMarks = Among(language, {"es", "gl", "ast"});
        c.SemicolonAsks = language == "el";
        c.NoFullStop = Among(language, {"th", "lo"});
        c.Unspaced = Among(language, {"ja", "zh", "th", "lo", "km", "my", "yue", "wuu"});
        for (const TWordList& list : kWords)
            if (list.Language == language || (language == "yue" && list.Language == "zh"))
                AddWords(list, c);
    } else {
        for (const TWordList& list : kWords) AddWords(list, c);
    }
    if (!c.NumbersKnown) {
        c.Decimal = '.';
        c.Groups = GroupsFor(',');
    }
    return c;
}

}  // namespace quillfen
