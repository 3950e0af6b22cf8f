#include "memory/pretranslate.h"

#include <algorithm>

#include "core/markup/scan.h"
#include "core/markup/sentences.h"
#include "memory/pages.h"

namespace quillfen {

std::array<TScoreBand, kBandCount> ScoreBands() {
    return {{{kInContextScore, kInContextScore},
             {kExactScore, kExactScore},
             {95, kNearExactScore},
             {85, 94},
             {kDefaultMinScore, 84},
             {0, kDefaultMinScore - 1}}};
}

TPretranslation Pretranslate(TMemory& memory, TDocument& doc, const TLanguagePair& languages,
                             int minScore, std::string_view pageName, const TWrite& write) {
    TPretranslation out;
    std::vector<TPhraseChange> changes;
    std::vector<TReplacement> replacements;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
        TQuery query;
        query.Text = MemoryText(doc, i);
        query.Languages = languages;
        query.MinScore = std::min(minScore, kDefaultMinScore);
        query.Context = PhraseContext(doc, i, pageName);
        query.Limit = 1;
        const std::vector<TMatch> matches = memory.Lookup(query);
        const int score = matches.empty() ? 0 : matches.front().Score;
        const std::string_view text = doc.Text(i);
        const std::uint64_t words = doc.Spans()[i].Source == TSource::Sentence
                                        ? CountWords(TextWithoutPlaceholders(text))
                                        : CountWords(text);
        for (TScoreBand& band : out.Bands)
            if (score >= band.Low && score <= band.High) {
                ++band.Phrases;
                band.Words += words;
                break;
            }
        if (matches.empty() || score < minScore) continue;
        std::string typed = PhraseTextOf(doc, i, matches.front().Text);
        try {
            std::string checked = CheckedText(doc, i, typed);
            if (checked == text) continue;
            replacements.push_back({i, std::string(text), checked});
            changes.push_back({i, std::move(checked)});
        } catch (const TError& e) {
            out.Refused.emplace_back(i, e);
        }
    }
    if (changes.empty()) return out;
    // The memory's transaction stays open across the page's write and is committed only once the
    // page is written.
    TMemory::TWriter writer(memory);
    for (const TReplacement& r : replacements)
        writer.Add(UnitOfReplacement(doc, r, languages, TOrigin::Pretranslation, pageName));
    if (ReplacePhrases(doc, changes, write)) out.Written = changes.size();
    writer.Commit();
    return out;
}

}  // namespace quillfen
