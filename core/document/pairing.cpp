#include "core/document/pairing.h"

#include <algorithm>
#include <map>

#include "core/markup/sentences.h"

namespace quillfen {

namespace {

// A placeholder's tags with the phrases inside them cut out.
std::string Tags(const TDocument& doc, std::size_t i, const TPlaceholder& p) {
    const std::string_view page = doc.Page();
    const std::uint32_t sentenceEnd = doc.Spans()[i].End;
    auto cut = [&](std::uint32_t begin, std::uint32_t end) {
        std::string out;
        std::uint32_t at = begin;
        for (std::size_t j = i + 1; j < doc.PhraseCount() && doc.Spans()[j].Begin < sentenceEnd;
             ++j) {
            const TPhraseSpan& s = doc.Spans()[j];
            if (s.Begin < at || s.End > end) continue;
            out.append(page.substr(at, s.Begin - at));
            out += '\0';
            at = s.End;
        }
        out.append(page.substr(at, end - at));
        return out;
    };
    std::string tags = cut(p.Begin, p.End);
    if (p.Paired) tags += '\x01' + cut(p.CloseBegin, p.CloseEnd);
    return tags;
}

std::string Letters(std::string_view name) {
    std::size_t k = 0;
    while (k < name.size() && !(name[k] >= '0' && name[k] <= '9')) ++k;
    return std::string(name.substr(0, k));
}

// text with its placeholders renamed; its literal stretches as they were.
std::string Renamed(std::string_view text, const std::map<std::string, std::string>& names) {
    std::string out;
    const std::vector<TSentencePiece> pieces = SentencePieces(text);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const TSentencePiece& piece = pieces[k];
        if (piece.kind == TSentencePiece::Literal) {
            AppendSentenceLiteral(out, piece.text, k + 1 < pieces.size());
            continue;
        }
        const auto it = names.find(piece.text);
        const std::string& name = it == names.end() ? piece.text : it->second;
        out += piece.kind == TSentencePiece::Close ? "</" : "<";
        out += name;
        out += piece.kind == TSentencePiece::Void ? "/>" : ">";
    }
    return out;
}

// Translated sentence i's text with the source's names, or where the pages part.
std::optional<TPagesPart> NameAfterSource(const TDocument& a, const TDocument& b, std::size_t i,
                                          TUnpairedTags unpaired, std::string& text) {
    const TPlaceholders& pa = a.Placeholders(i);
    const TPlaceholders& pb = b.Placeholders(i);
    std::vector<std::string> ta, tb;
    for (const TPlaceholder& p : pa) ta.push_back(Tags(a, i, p));
    for (const TPlaceholder& p : pb) tb.push_back(Tags(b, i, p));
    std::vector<bool> used(pb.size(), false), matched(pa.size(), false);
    std::map<std::string, std::string> names;
    bool same = true;
    for (std::size_t k = 0; k < pa.size(); ++k)
        for (std::size_t j = 0; j < pb.size(); ++j)
            if (!used[j] && tb[j] == ta[k]) {
                used[j] = matched[k] = true;
                names[pb[j].Name] = pa[k].Name;
                same = same && pb[j].Name == pa[k].Name;
                break;
            }
    const auto ua = std::find(matched.begin(), matched.end(), false);
    const auto ub = std::find(used.begin(), used.end(), false);
    if (unpaired == TUnpairedTags::Part && (ua != matched.end() || ub != used.end())) {
        // The first tag each sentence has and the other lacks.
        return TPagesPart{i,
                          ua != matched.end()
                              ? pa[static_cast<std::size_t>(ua - matched.begin())].Begin
                              : a.Spans()[i].Begin,
                          ub != used.end() ? pb[static_cast<std::size_t>(ub - used.begin())].Begin
                                           : b.Spans()[i].Begin};
    }
    std::size_t fresh = pa.size() + pb.size();
    for (std::size_t j = 0; j < pb.size(); ++j)
        if (!used[j]) {
            names[pb[j].Name] = Letters(pb[j].Name) + std::to_string(++fresh);
            same = false;
        }
    text = same ? std::string(b.Text(i)) : Renamed(b.Text(i), names);
    return std::nullopt;
}

// Where two stretches that must be the same bytes, starting at at and bt, first differ.
std::optional<TPagesPart> Differ(std::size_t phrase, std::string_view x, std::size_t at,
                                 std::string_view y, std::size_t bt) {
    if (x == y) return std::nullopt;
    const auto shorter = static_cast<std::ptrdiff_t>(std::min(x.size(), y.size()));
    const auto k = static_cast<std::size_t>(
        std::mismatch(x.begin(), x.begin() + shorter, y.begin()).first - x.begin());
    return TPagesPart{phrase, at + k, bt + k};
}

}  // namespace

TPagePairing PairPages(const TDocument& source, const TDocument& translated,
                       TUnpairedTags unpaired) {
    const std::string_view pa = source.Page(), pb = translated.Page();
    TPagePairing out;
    std::size_t ca = 0, cb = 0;  // behind the last phrase outside a sentence
    const std::size_t n = std::min(source.PhraseCount(), translated.PhraseCount());
    out.Texts.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TPhraseSpan& sa = source.Spans()[i];
        const TPhraseSpan& sb = translated.Spans()[i];
        const bool nested = sa.Begin < ca;
        if (nested != (sb.Begin < cb) || source.Kind(i) != translated.Kind(i) ||
            sa.Source != sb.Source) {
            out.Part = TPagesPart{i, sa.Begin, sb.Begin};
            return out;
        }
        std::string text;
        if (!nested) {
            out.Part =
                Differ(i, pa.substr(ca, sa.Begin - ca), ca, pb.substr(cb, sb.Begin - cb), cb);
            if (out.Part) return out;
            ca = sa.End;
            cb = sb.End;
        }
        if (!nested && sa.Source == TSource::Sentence) {
            out.Part = NameAfterSource(source, translated, i, unpaired, text);
            if (out.Part) return out;
        } else {
            text = translated.Text(i);
        }
        out.Texts.push_back(std::move(text));
    }
    // One page has a phrase where the other goes on with markup or ends.
    const std::size_t ea =
        n < source.PhraseCount() ? std::max<std::size_t>(ca, source.Spans()[n].Begin) : pa.size();
    const std::size_t eb = n < translated.PhraseCount()
                               ? std::max<std::size_t>(cb, translated.Spans()[n].Begin)
                               : pb.size();
    out.Part = Differ(n, pa.substr(ca, ea - ca), ca, pb.substr(cb, eb - cb), cb);
    if (!out.Part && source.PhraseCount() != translated.PhraseCount())
        out.Part = TPagesPart{n, ea, eb};
    return out;
}

}  // namespace quillfen
