#pragma once

// How the memory compares texts. Texts are in the textual form of phrases
// (core/markup/sentences.h): a sentence's placeholders as "<b1>...</b1>" and "<br2/>", a '<' of the
// text that reads like one escaped. A text is cut into tokens by ICU's word break iterator: each
// word, number and mark (blanks are no tokens), case-folded, and each placeholder by its element
// and shape, not its number ("<b", "</b", "<br/"). Tokens are kept as 32-bit hashes.
//
// Scores: 101 the same source in context (the same neighbours, or the same page), 100 the same
// source, 99 less a point per placeholder that differs for the same words (case, blanks and
// placeholders aside), else the fuzzy score: 100 * (1 - d / max(n, m)), rounded down, where d is
// the edit distance between the token sequences (placeholders included) of lengths n and m.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

inline constexpr int kInContextScore = 101;
inline constexpr int kExactScore = 100;
inline constexpr int kNearExactScore = 99;
inline constexpr int kDefaultMinScore = 75;

using TToken = std::uint32_t;

// A text as the memory compares it.
struct TAnalysis {
    std::vector<TToken> Tokens;
    // A hash of the tokens that are no placeholders: equal for texts that differ only in case,
    // blanks and placeholders.
    std::uint64_t WordsKey = 0;
};

// Needs ICU (the memory is built only where it is).
TAnalysis AnalyseText(std::string_view text);

// The fuzzy score of two token sequences when it is at least atLeast (1 to 100), else -1.
int FuzzyScore(const std::vector<TToken>& a, const std::vector<TToken>& b, int atLeast);

// How many of the placeholders of two texts with the same words differ: those one has and the
// other lacks, by element, the larger count of the two sides; 1 when they have the same ones
// standing elsewhere.
int PlaceholdersThatDiffer(std::string_view a, const std::vector<TToken>& aTokens,
                           std::string_view b, const std::vector<TToken>& bTokens);

// The score of a unit's source for a query, when it is at least atLeast, else -1. context: the
// unit stood in the query's context (the same neighbours or the same page).
int MatchScore(std::string_view query, const TAnalysis& queryAnalysis, std::string_view source,
               const std::vector<TToken>& sourceTokens, std::uint64_t sourceWordsKey, bool context,
               int atLeast);

// A unit's target fitted to a phrase: each placeholder takes the number of the phrase's
// placeholder of the same element and shape, the k-th of an element in the unit's source the
// k-th of that element in the phrase (so "Le gros <u1>chat</u1> <b2>noir</b2>" for a phrase
// "the <b1>black</b1> <u2>cat</u2>" from a source "the <u1>big</u1> <b2>cat</b2>" gives "<u2>"
// and "<b1>"). A placeholder that cannot be mapped is left out (a pair's content stays), and
// named in dropped as the target wrote it. The literal text keeps its escapes.
std::string FitToPhrase(std::string_view target, std::string_view unitSource,
                        std::string_view phrase, std::vector<std::string>* dropped = nullptr);

// A token as the full-text index holds it: seven letters and digits of base 32.
void AppendIndexTerm(std::string& out, TToken token);

// The index term of a text's length in tokens: lengths up to 8 each their own, longer ones in
// bands each a quarter wider than the last.
TToken LengthToken(std::size_t tokens);
// The terms of the lengths a text may have that scores at least `least` against a text of n
// tokens: from ceil(n * least / 100) to floor(n * 100 / least).
std::vector<TToken> LengthTokens(std::size_t n, int least);

}  // namespace quillfen
