// Over a page or a project: one source translated in several ways, one translation standing for
// several sources.

#include <algorithm>
#include <map>
#include <unordered_map>

#include "checks/checks.h"
#include "checks/messages.h"
#include "checks/text.h"

namespace quillfen {

namespace {

bool HasLetter(std::string_view text) {
    const checks::TReading r = checks::Read(text, TUnits::Runs);
    return std::any_of(r.Chars.begin(), r.Chars.end(), checks::IsLetter);
}

bool IsBlankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

// A source as the comparison of sources reads it: folded to lower case, runs of blanks one.
std::string Normalised(std::string_view text) {
    const checks::TReading r = checks::Read(text, TUnits::Runs);
    std::u32string out;
    for (const char32_t c : r.Chars) {
        if (checks::IsBlank(c)) {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        out += checks::FoldCase(c);
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return checks::Utf8(out);
}

// Members of a group that take the group's text in some variant: each variant's count and first
// member, the prevailing variant the most frequent (the earliest of equals).
struct TVariants {
    std::map<std::string, std::pair<std::size_t, std::size_t>> counts;  // variant: count, first

    void Add(std::string variant, std::size_t member) {
        auto [it, fresh] = counts.try_emplace(std::move(variant), 0, member);
        ++it->second.first;
    }
    const std::string* Prevailing() const {
        const std::string* best = nullptr;
        std::size_t count = 0, first = 0;
        for (const auto& [variant, seen] : counts)
            if (best == nullptr || seen.first > count ||
                (seen.first == count && seen.second < first)) {
                best = &variant;
                count = seen.first;
                first = seen.second;
            }
        return best;
    }
};

void AddFinding(TCheck check, const TCheckedPhrase& phrase, checks::TText text,
                std::vector<TFinding>& findings) {
    TFinding f;
    f.Check = check;
    f.Severity = CheckInfo(check).Severity;
    f.Page = phrase.Page;
    f.Phrase = phrase.Phrase;
    f.German = std::move(text.German);
    f.English = std::move(text.English);
    f.Key = DismissalKey(check, phrase.Source, phrase.Target);
    findings.push_back(std::move(f));
}

checks::TPlace PlaceOf(const TCheckedPhrase& of, const TCheckedPhrase& from,
                       std::span<const std::string> pageNames) {
    checks::TPlace place;
    place.Phrase = of.Phrase + 1;
    if (of.Page != from.Page && of.Page < pageNames.size()) place.Page = pageNames[of.Page];
    return place;
}

// The phrases grouped by what key gives, in order; groups of one left out.
template <class Key>
std::vector<std::vector<std::size_t>> Groups(std::span<const TCheckedPhrase> phrases, Key key) {
    std::unordered_map<std::string_view, std::size_t> index;
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < phrases.size(); ++i) {
        if (IsBlankText(phrases[i].Target)) continue;
        const auto [it, fresh] = index.try_emplace(key(phrases[i]), groups.size());
        if (fresh) groups.emplace_back();
        groups[it->second].push_back(i);
    }
    std::erase_if(groups, [](const std::vector<std::size_t>& g) { return g.size() < 2; });
    return groups;
}

}  // namespace

void CheckSet(std::span<const TCheckedPhrase> phrases, const TCheckSelection& checks,
              std::vector<TFinding>& findings, std::span<const std::string> pageNames) {
    if (checks.Has(TCheck::InconsistentSource)) {
        for (const auto& group :
             Groups(phrases, [](const TCheckedPhrase& p) { return p.Source; })) {
            TVariants targets;
            for (const std::size_t i : group) targets.Add(std::string(phrases[i].Target), i);
            if (targets.counts.size() < 2 || !HasLetter(phrases[group[0]].Source)) continue;
            const std::string& prevailing = *targets.Prevailing();
            const TCheckedPhrase& where = phrases[targets.counts.at(prevailing).second];
            for (const std::size_t i : group)
                if (phrases[i].Target != prevailing)
                    AddFinding(TCheck::InconsistentSource, phrases[i],
                               checks::TranslatedOtherwise(prevailing,
                                                           PlaceOf(where, phrases[i], pageNames)),
                               findings);
        }
    }
    if (checks.Has(TCheck::InconsistentTarget)) {
        for (const auto& group :
             Groups(phrases, [](const TCheckedPhrase& p) { return p.Target; })) {
            TVariants sources;
            std::vector<std::string> normal;
            for (const std::size_t i : group) {
                normal.push_back(Normalised(phrases[i].Source));
                sources.Add(normal.back(), i);
            }
            if (sources.counts.size() < 2 || !HasLetter(phrases[group[0]].Target)) continue;
            const std::string& prevailing = *sources.Prevailing();
            const TCheckedPhrase& where = phrases[sources.counts.at(prevailing).second];
            for (std::size_t k = 0; k < group.size(); ++k)
                if (normal[k] != prevailing)
                    AddFinding(TCheck::InconsistentTarget, phrases[group[k]],
                               checks::SameTranslationOf(
                                   where.Source, PlaceOf(where, phrases[group[k]], pageNames)),
                               findings);
        }
    }
}

}  // namespace quillfen
