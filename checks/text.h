#pragma once

// A phrase's text as the checks read it: the characters a reader sees, and the placeholders (in
// runs: tags and character references written as text) apart from them, each where it stands.
// Internal to the checks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/markup/sentences.h"

namespace quillfen::checks {

struct TMark {
    // Open, Close, Void: a sentence's placeholder, which stands apart from the characters. Tag,
    // Reference: in runs, text that reads as a tag or a character reference; the page shows it
    // as typed, so its characters stay in Chars too, the mark standing before the first.
    enum TKind : std::uint8_t { Open, Close, Void, Tag, Reference } Kind = Open;
    std::uint32_t At = 0;  // the index in TReading::Chars it stands before
    // What identifies it: a placeholder's name ("b1"); a tag's form and name ("<b", "</b",
    // "<br/"), lower-case; a reference as written.
    std::string Name;
    std::string Written;  // as the text writes it, for the finding's text
};

struct TReading {
    std::u32string Chars;      // a byte that is no UTF-8 reads as U+FFFD
    std::vector<TMark> Marks;  // in text order
};

TReading Read(std::string_view text, TUnits units);

// UTF-8 of s.
std::string Utf8(std::u32string_view s);

// Classes of characters. Letters, case and case folding are ICU's where there is ICU.
bool IsLetter(char32_t c);  // letters and combining marks
bool IsUpper(char32_t c);
bool IsLower(char32_t c);
bool HasCase(char32_t c);
char32_t FoldCase(char32_t c);
// The value of a decimal digit of any script this knows (ASCII, Arabic-Indic, Devanagari,
// fullwidth, ...); -1 for any other character.
int DigitValue(char32_t c);
bool IsBlank(char32_t c);  // white space, the no-break spaces included
// Scripts written without blanks between words (Han, kana, Thai, ...).
bool IsUnspacedScript(char32_t c);
// How much a character weighs when lengths are compared: a Han character or kana says about as
// much as three Latin letters, a Hangul syllable as two.
unsigned LengthWeight(char32_t c);

// [Begin, End) ranges of Chars.
struct TRange {
    std::size_t Begin = 0, End = 0;
};
// Web addresses (a scheme and "//", "www.", "mailto:") and e-mail addresses in text, in order,
// without the punctuation that ends a sentence after them.
std::vector<TRange> FindAddresses(std::u32string_view text);

}  // namespace quillfen::checks
