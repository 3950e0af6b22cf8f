#pragma once

// The texts of the checks' findings, each composed here twice, in German and in English, as
// core/errors composes the errors. Texts from a phrase are quoted, cut after 60 characters.
// Internal to the checks.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfen::checks {

struct TText {
    std::string German, English;
};

// Where a phrase stands, for the checks over a set: "Phrase 12", or "NAME, Phrase 12" for a
// phrase of another page (page empty: the same page). n counts from 1.
struct TPlace {
    std::string_view Page;
    std::size_t Phrase = 0;
};

// Sentences' placeholders, written as the text writes them ("<b1>", "</b1>", "<br2/>").
TText PlaceholderMissing(std::string_view placeholder);
TText PlaceholderExtra(std::string_view placeholder);
TText PlaceholderDoubled(std::string_view placeholder);
TText PlaceholderUnpaired(std::string_view placeholder);
TText PlaceholderMisnested(std::string_view placeholder);
// A literal '<', '>' or '&' stands where the source has the placeholder.
TText PlaceholderAsText(std::string_view placeholder, char literal);
// In runs: a tag or character reference written as text.
TText MarkupExtra(std::string_view written);
TText MarkupMissing(std::string_view written);
TText MarkupMisnested(std::string_view written);

TText NumberMissing(std::string_view number);
TText NumberExtra(std::string_view number);
TText AddressMissing(std::string_view address);
TText AddressExtra(std::string_view address);
TText EmptyTranslation();

// A blank before (after false: after) the placeholder where the source has none, or none where
// it has one.
TText SpacingDiffers(std::string_view placeholder, bool before, bool sourceHasBlank);
TText DoubleSpace();
// The marks that end source and translation ("" where none ends it).
TText EndPunctuationDiffers(std::string_view source, std::string_view target);
TText BlankBeforeMarkMissing(std::string_view mark);  // French
TText BlankBeforeMark(std::string_view mark);         // where the language sets none
TText InvertedMarkMissing(std::string_view mark);     // Spanish "¿", "¡"
TText BracketNotClosed(std::string_view bracket);
TText BracketNotOpened(std::string_view bracket);
TText BracketMissing(std::string_view bracket);  // the source's, left open or closing none
TText QuotesUnpaired();
TText QuoteMissing();  // the source's own unpaired one
TText RepeatedWord(std::string_view word);
TText Unchanged();
// percent: the translation's length as a share of the source's; most: the upper bound.
TText LengthOutside(unsigned percent, unsigned most);
TText TranslatedOtherwise(std::string_view translation, const TPlace& where);
TText SameTranslationOf(std::string_view source, const TPlace& where);

}  // namespace quillfen::checks
