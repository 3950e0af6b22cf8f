#include "memory/align.h"

#include <algorithm>
#include <map>

#include "core/errors.h"
#include "core/markup/sentences.h"
#include "memory/pages.h"

namespace quillfen {

namespace {

class TAligner {
  public:
    TAligner(const TDocument& a, const std::string& aPath, const TDocument& b,
             const std::string& bPath)
        : a_(a), b_(b), aPath_(aPath), bPath_(bPath) {}

    // Refuses the pages at a's offset at and b's offset bt (into Page()).
    [[noreturn]] void Part(std::size_t at, std::size_t bt) const {
        throw PagesPartError(aPath_, LineOf(a_, at), a_.Bom().size() + at, bPath_, LineOf(b_, bt),
                             b_.Bom().size() + bt);
    }

    // Two stretches that must be the same bytes, starting at at and bt.
    void Same(std::string_view x, std::size_t at, std::string_view y, std::size_t bt) const {
        if (x == y) return;
        const std::size_t k = static_cast<std::size_t>(
            std::mismatch(x.begin(),
                          x.begin() + static_cast<std::ptrdiff_t>(std::min(x.size(), y.size())),
                          y.begin())
                .first -
            x.begin());
        Part(at + k, bt + k);
    }

    // The names of b's placeholders of sentence i as a's: each takes the one whose tags are
    // the same bytes (the phrases inside them aside), in their order.
    std::map<std::string, std::string> SentenceTags(std::size_t i) const {
        const TPlaceholders& pa = a_.Placeholders(i);
        const TPlaceholders& pb = b_.Placeholders(i);
        std::vector<std::string> ta, tb;
        for (const TPlaceholder& p : pa) ta.push_back(Tags(a_, i, p));
        for (const TPlaceholder& p : pb) tb.push_back(Tags(b_, i, p));
        std::vector<bool> used(pb.size(), false), matched(pa.size(), false);
        std::map<std::string, std::string> names;
        for (std::size_t k = 0; k < pa.size(); ++k)
            for (std::size_t j = 0; j < pb.size(); ++j)
                if (!used[j] && tb[j] == ta[k]) {
                    used[j] = matched[k] = true;
                    names[pb[j].Name] = pa[k].Name;
                    break;
                }
        // The first tag each sentence has and the other lacks.
        const auto a = std::find(matched.begin(), matched.end(), false);
        const auto b = std::find(used.begin(), used.end(), false);
        if (a != matched.end() || b != used.end())
            Part(a != matched.end() ? pa[static_cast<std::size_t>(a - matched.begin())].Begin
                                    : a_.Spans()[i].Begin,
                 b != used.end() ? pb[static_cast<std::size_t>(b - used.begin())].Begin
                                 : b_.Spans()[i].Begin);
        return names;
    }

  private:
    static std::size_t LineOf(const TDocument& doc, std::size_t at) {
        const std::string& bytes = doc.Bytes();
        const std::size_t end = std::min(bytes.size(), doc.Bom().size() + at);
        return 1 + static_cast<std::size_t>(std::count(
                       bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
    }

    // A placeholder's tags with the phrases inside them cut out.
    static std::string Tags(const TDocument& doc, std::size_t i, const TPlaceholder& p) {
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

    const TDocument &a_, &b_;
    const std::string &aPath_, &bPath_;
};

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
        out += piece.kind == TSentencePiece::Close  ? "</" + name + ">"
               : piece.kind == TSentencePiece::Void ? "<" + name + "/>"
                                                    : "<" + name + ">";
    }
    return out;
}

}  // namespace

TAlignment AlignPages(const TDocument& source, const std::string& sourcePath,
                      const TDocument& translated, const std::string& translatedPath,
                      const TLanguagePair& languages) {
    const TAligner aligner(source, sourcePath, translated, translatedPath);
    const std::string_view pa = source.Page(), pb = translated.Page();
    const std::string pageName = PageName(sourcePath);
    TAlignment out;
    std::size_t ca = 0, cb = 0;  // behind the last phrase outside a sentence
    const std::size_t n = std::min(source.PhraseCount(), translated.PhraseCount());
    for (std::size_t i = 0; i < n; ++i) {
        const TPhraseSpan& sa = source.Spans()[i];
        const TPhraseSpan& sb = translated.Spans()[i];
        const bool nested = sa.Begin < ca;
        if (nested != (sb.Begin < cb) || source.Kind(i) != translated.Kind(i) ||
            (sa.Source == TSource::Sentence) != (sb.Source == TSource::Sentence))
            aligner.Part(sa.Begin, sb.Begin);
        std::map<std::string, std::string> names;
        if (!nested) {
            aligner.Same(pa.substr(ca, sa.Begin - ca), ca, pb.substr(cb, sb.Begin - cb), cb);
            ca = sa.End;
            cb = sb.End;
            if (sa.Source == TSource::Sentence) names = aligner.SentenceTags(i);
        }
        TUnit unit;
        unit.Source = MemoryText(source, i);
        const std::string_view text = translated.Text(i);
        unit.Target =
            MemoryText(translated, i,
                       sa.Source == TSource::Sentence ? Renamed(text, names) : std::string(text));
        if (unit.Source == unit.Target) {
            ++out.Untranslated;
            continue;
        }
        unit.Codes = PhraseCodes(source, i);
        unit.Languages = languages;
        unit.Kind = source.Kind(i);
        unit.Context = PhraseContext(source, i, pageName);
        unit.Origin = TOrigin::Alignment;
        out.Units.push_back(std::move(unit));
    }
    // One page has a phrase where the other goes on with markup or ends.
    const std::size_t ea =
        n < source.PhraseCount() ? std::max<std::size_t>(ca, source.Spans()[n].Begin) : pa.size();
    const std::size_t eb = n < translated.PhraseCount()
                               ? std::max<std::size_t>(cb, translated.Spans()[n].Begin)
                               : pb.size();
    aligner.Same(pa.substr(ca, ea - ca), ca, pb.substr(cb, eb - cb), cb);
    if (source.PhraseCount() != translated.PhraseCount()) aligner.Part(ea, eb);
    return out;
}

}  // namespace quillfen
