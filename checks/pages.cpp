#include "checks/pages.h"

#include <algorithm>

#include "core/document/pairing.h"
#include "core/errors.h"
#include "exchange/translation.h"

namespace quillfen {

std::vector<std::pair<std::string, std::string>> TranslatedPairs(const TDocument& source,
                                                                 const TDocument& translated) {
    const std::size_t n = source.PhraseCount();
    if (translated.PhraseCount() != n) throw PhraseCountsDifferError(n, translated.PhraseCount());
    if (source.Bom() != translated.Bom() || source.Units() != translated.Units())
        throw PagesPartError(1, n);
    // A tag the source lacks is the placeholder check's to find, not a reason to refuse.
    TPagePairing pairing = PairPages(source, translated, TUnpairedTags::Rename);
    if (pairing.Part) throw PagesPartError(pairing.Part->Phrase + 1, n);
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        pairs.emplace_back(std::string(source.Text(i)), std::move(pairing.Texts[i]));
    return pairs;
}

std::vector<TFinding> CheckPages(const TDocument& source, const TDocument& translated,
                                 TCheckOptions options, const TDismissals* dismissals) {
    const auto pairs = TranslatedPairs(source, translated);
    options.Units = source.Units();
    if (options.SourceLanguage.empty()) options.SourceLanguage = PageLanguage(source);
    const TPairChecker checker(options);
    std::vector<TFinding> findings;
    std::vector<TCheckedPhrase> phrases;
    phrases.reserve(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::size_t before = findings.size();
        checker.Check(pairs[i].first, pairs[i].second, findings);
        for (std::size_t k = before; k < findings.size(); ++k) findings[k].Phrase = i;
        phrases.push_back({pairs[i].first, pairs[i].second, 0, i});
    }
    CheckSet(phrases, options.Checks, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const TFinding& a, const TFinding& b) { return a.Phrase < b.Phrase; });
    if (dismissals) DropDismissed(findings, *dismissals);
    return findings;
}

}  // namespace quillfen
