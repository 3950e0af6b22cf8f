#pragma once

// The checks of one pair, each adding the texts of what it finds. Internal to the checks.

#include <vector>

#include "checks/languages.h"
#include "checks/messages.h"
#include "checks/text.h"

namespace quillfen::checks {

struct TPair {
    const TReading& Source;
    const TReading& Target;
    const TLanguageConventions& SourceLanguage;
    const TLanguageConventions& TargetLanguage;
    TUnits Units;
};

using TTexts = std::vector<TText>;

void CheckPlaceholders(const TPair& pair, TTexts& out);        // checks/markup.cpp
void CheckPlaceholderSpacing(const TPair& pair, TTexts& out);  // checks/markup.cpp
void CheckNumbers(const TPair& pair, TTexts& out);             // checks/numbers.cpp
void CheckAddresses(const TPair& pair, TTexts& out);           // checks/numbers.cpp
void CheckDoubleSpace(const TPair& pair, TTexts& out);         // checks/punctuation.cpp
void CheckEndPunctuation(const TPair& pair, TTexts& out);      // checks/punctuation.cpp
void CheckBrackets(const TPair& pair, TTexts& out);            // checks/punctuation.cpp
void CheckRepeatedWord(const TPair& pair, TTexts& out);        // checks/punctuation.cpp
void CheckUnchanged(const TPair& pair, TTexts& out);           // checks/words.cpp
void CheckLength(const TPair& pair, TTexts& out);              // checks/words.cpp

// Words: runs of letters (and the digits and apostrophes inside them), as [Begin, End) of Chars.
std::vector<TRange> Words(std::u32string_view text);

}  // namespace quillfen::checks
