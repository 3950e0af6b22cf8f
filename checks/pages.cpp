#include "checks/pages.h"

#include <algorithm>
#include <map>

#include "core/errors.h"
#include "exchange/translation.h"

namespace quillfen {

namespace {

// The phrases that lie inside no other (a sentence's alt and content phrases lie inside it).
std::vector<bool> Outermost(const TDocument& d) {
    std::vector<bool> outer(d.PhraseCount());
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < d.PhraseCount(); ++i) {
        const TPhraseSpan& s = d.Spans()[i];
        outer[i] = i == 0 || s.Begin >= end;
        if (outer[i]) end = s.End;
    }
    return outer;
}

void CheckAlike(const TDocument& source, const TDocument& translated) {
    const std::size_t n = source.PhraseCount();
    if (translated.PhraseCount() != n) throw PhraseCountsDifferError(n, translated.PhraseCount());
    if (source.Bom() != translated.Bom() || source.Units() != translated.Units())
        throw PagesPartError(1, n);
    const std::vector<bool> so = Outermost(source), to = Outermost(translated);
    const std::string_view sp = source.Page(), tp = translated.Page();
    std::uint32_t se = 0, te = 0;  // where the last outermost phrase ended
    for (std::size_t i = 0; i < n; ++i) {
        const TPhraseSpan& s = source.Spans()[i];
        const TPhraseSpan& t = translated.Spans()[i];
        if (so[i] != to[i] || s.Source != t.Source || source.Kind(i) != translated.Kind(i))
            throw PagesPartError(i + 1, n);
        if (!so[i]) continue;
        if (sp.substr(se, s.Begin - se) != tp.substr(te, t.Begin - te))
            throw PagesPartError(i + 1, n);
        se = s.End;
        te = t.End;
    }
    if (sp.substr(se) != tp.substr(te)) throw PagesPartError(n + 1, n);
}

// What identifies a placeholder's tags in its page: their bytes without the phrases inside them
// (an image's alt translated is still the same image).
std::string Shape(const TDocument& d, std::size_t sentence, const TPlaceholder& p) {
    const std::string_view page = d.Page();
    std::string shape;
    std::uint32_t at = p.Begin;
    const std::uint32_t sentenceEnd = d.Spans()[sentence].End;
    for (std::size_t j = sentence + 1; j < d.PhraseCount(); ++j) {
        const TPhraseSpan& s = d.Spans()[j];
        if (s.Begin >= sentenceEnd) break;
        if (s.Begin < p.Begin || s.End > p.End) continue;
        shape.append(page.substr(at, s.Begin - at));
        at = s.End;
    }
    shape.append(page.substr(at, p.End - at));
    if (p.Paired) shape.append("\x01").append(page.substr(p.CloseBegin, p.CloseEnd - p.CloseBegin));
    return shape;
}

std::string Letters(std::string_view name) {
    std::size_t k = 0;
    while (k < name.size() && !(name[k] >= '0' && name[k] <= '9')) ++k;
    return std::string(name.substr(0, k));
}

// Translated sentence i's text with the placeholders named as the source names them.
std::string InSourceNames(const TDocument& source, const TDocument& translated, std::size_t i) {
    const TPlaceholders& sp = source.Placeholders(i);
    const TPlaceholders& tp = translated.Placeholders(i);
    const std::string_view text = translated.Text(i);
    std::vector<std::string> sourceShapes, targetShapes;
    for (const TPlaceholder& p : sp) sourceShapes.push_back(Shape(source, i, p));
    for (const TPlaceholder& p : tp) targetShapes.push_back(Shape(translated, i, p));
    bool same = sp.size() == tp.size();
    for (std::size_t k = 0; same && k < sp.size(); ++k)
        same = sp[k].Name == tp[k].Name && sourceShapes[k] == targetShapes[k];
    if (same) return std::string(text);
    std::multimap<std::string, std::string> free;  // shape: a source name not yet given
    for (std::size_t k = 0; k < sp.size(); ++k) free.emplace(sourceShapes[k], sp[k].Name);
    std::size_t fresh = sp.size() + tp.size();
    std::map<std::string, std::string> rename;
    for (std::size_t k = 0; k < tp.size(); ++k) {
        const auto it = free.find(targetShapes[k]);
        if (it != free.end()) {
            rename[tp[k].Name] = it->second;
            free.erase(it);
        } else {
            // A tag the source does not have: a name the source's placeholders do not use.
            rename[tp[k].Name] = Letters(tp[k].Name) + std::to_string(++fresh);
        }
    }
    std::string out;
    const std::vector<TSentencePiece> pieces = SentencePieces(text);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const TSentencePiece& piece = pieces[k];
        if (piece.kind == TSentencePiece::Literal) {
            AppendSentenceLiteral(out, piece.text, k + 1 < pieces.size());
            continue;
        }
        const auto it = rename.find(piece.text);
        const std::string& name = it != rename.end() ? it->second : piece.text;
        out += piece.kind == TSentencePiece::Close ? "</" : "<";
        out += name;
        out += piece.kind == TSentencePiece::Void ? "/>" : ">";
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> TranslatedPairs(const TDocument& source,
                                                                 const TDocument& translated) {
    CheckAlike(source, translated);
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.reserve(source.PhraseCount());
    for (std::size_t i = 0; i < source.PhraseCount(); ++i) {
        std::string target = translated.Placeholders(i).empty() && source.Placeholders(i).empty()
                                 ? std::string(translated.Text(i))
                                 : InSourceNames(source, translated, i);
        pairs.emplace_back(std::string(source.Text(i)), std::move(target));
    }
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
