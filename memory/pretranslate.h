#pragma once

// Pretranslating a page from the memory: every phrase with a good enough match takes its text,
// as one batch of the editing service (one write, one step of the history), and how much of the
// page the memory covers is counted in bands of scores.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "core/document/document.h"
#include "core/document/editing.h"
#include "core/errors.h"
#include "memory/memory.h"

namespace quillfen {

// The bands phrases are counted in by their best match.
struct TScoreBand {
    int Low, High;  // scores from Low to High; the last band (none) is 0 to 74
    std::size_t Phrases = 0;
    std::uint64_t Words = 0;
};
inline constexpr std::size_t kBandCount = 6;
// 101, 100, 95-99, 85-94, 75-84, no match.
std::array<TScoreBand, kBandCount> ScoreBands();

struct TPretranslation {
    std::array<TScoreBand, kBandCount> Bands = ScoreBands();
    // Phrases that took a match's text (a phrase that already read so is none).
    std::size_t Written = 0;
    // Phrases whose match could not be written, with why (its placeholders do not fit).
    std::vector<std::pair<std::size_t, TError>> Refused;
};

// Gives every phrase of doc with a match of at least minScore (101 in context, 100 exact, ...)
// its text, written once through ReplacePhrases with write, and records them in the memory
// (origin pretranslation) in the same breath: when the write fails, neither the page nor the
// memory changes. languages: the page's pair (PageLanguages); pageName: the page's file name,
// for matches in context.
TPretranslation Pretranslate(TMemory& memory, TDocument& doc, const TLanguagePair& languages,
                             int minScore, std::string_view pageName, const TWrite& write);

}  // namespace quillfen
