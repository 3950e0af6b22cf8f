#pragma once

// What the checks know of a language's writing: how it writes numbers, where it puts blanks
// before punctuation, how it opens questions, which words it may double, and its number words.
// Internal to the checks.

#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

struct TLanguageConventions {
    // The primary language subtag, lower-case ("fr" of "fr-CA"); empty when none was given, and
    // then every convention below that would find something is off, and numbers are read in
    // every way the checks know.
    std::string Language;
    // How numbers are written: the decimal separator and the group separators; NumbersKnown
    // false reads them both ways ("1,234.5" and "1.234,5").
    bool NumbersKnown = false;
    char32_t Decimal = '.';
    std::u32string Groups;
    // French: a (no-break) blank before ? ! : ; (Canadian French only before :).
    bool BlankBeforeQuestion = false, BlankBeforeColon = false;
    bool InvertedMarks = false;  // Spanish opens questions and exclamations with ¿ ¡
    bool SemicolonAsks = false;  // Greek asks with ';'
    bool NoFullStop = false;     // Thai and Lao end sentences without a mark
    bool Unspaced = false;       // Chinese, Japanese, Thai, ...: no blanks between words
    // Words this language may write twice in a row ("die die", "nous nous").
    std::vector<std::u32string> DoubledWords;
    // Its words for the numbers 0 to 12, lower-case, as (value, word); every language's where
    // the language is not known.
    std::vector<std::pair<int, std::u32string>> NumberWords;
};

// The conventions of a language tag ("de", "fr-CA", "zh-Hant-TW", "pt_BR"); unknown languages
// and an empty tag give the lenient conventions described above. The decimal and group
// separators are ICU's for the locale where there is ICU, else a table's.
TLanguageConventions LanguageConventions(std::string_view tag);

}  // namespace quillfen
