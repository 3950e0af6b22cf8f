#include "core/markup/anchors.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "core/document/document.h"
#include "core/document/spanwriter.h"
#include "core/markup/sentences.h"
#include "core/markup/tokenizer.h"
#include "core/text/ascii.h"

namespace quillfen {

namespace {

using TRange = std::pair<std::uint32_t, std::uint32_t>;

// The tags of the page as the scan reads them ('<' and '>'), and the stretches where a comment
// would not become a node of its own in the browser, both in page order. The page is read by the
// scan's own tokenizer, so that the map sees the tags the spans were found in.
struct TPageMap final : TTokenSink {
    std::vector<TRange> tags;
    std::vector<TRange> quiet;
    std::string_view page;

    void Text(std::size_t, std::size_t, TTextMode) override {}

    void Tag(const TTagToken& tag) override {
        tags.emplace_back(static_cast<std::uint32_t>(tag.lt), static_cast<std::uint32_t>(tag.gt));
        // The preview runs scripts, so its browser reads a noscript's content as text.
        if (!tag.end && tag.html && EqualsNoCase(tag.name, "noscript")) {
            const std::size_t close = FindEndTag(page, tag.gt + 1, "noscript");
            Quiet(tag.gt + 1, close == std::string_view::npos ? page.size() : close);
        }
    }

    void Raw(std::size_t begin, std::size_t end) override { Quiet(begin, end); }

    void Quiet(std::size_t from, std::size_t to) {
        if (from >= to) return;
        const auto a = static_cast<std::uint32_t>(from), b = static_cast<std::uint32_t>(to);
        if (!quiet.empty() && a <= quiet.back().second)
            quiet.back().second = std::max(quiet.back().second, b);
        else
            quiet.emplace_back(a, b);
    }

    bool IsQuiet(std::uint32_t at) const {
        auto it = std::upper_bound(quiet.begin(), quiet.end(), at,
                                   [](std::uint32_t v, const TRange& r) { return v < r.first; });
        return it != quiet.begin() && at < std::prev(it)->second;
    }

    // The tag whose text holds at, or nullptr.
    const TRange* TagAround(std::uint32_t at) const {
        auto it = std::upper_bound(tags.begin(), tags.end(), at,
                                   [](std::uint32_t v, const TRange& r) { return v <= r.first; });
        if (it == tags.begin()) return nullptr;
        const TRange& tag = *std::prev(it);
        return at < tag.second ? &tag : nullptr;
    }
};

TPageMap MapPage(std::string_view page) {
    TPageMap map;
    map.page = page;
    Tokenize(page, map);
    return map;
}

// Whether saved holds part at offset at.
bool HoldsAt(std::string_view saved, std::size_t at, std::string_view part) {
    return at <= saved.size() && saved.size() - at >= part.size() &&
           saved.compare(at, part.size(), part) == 0;
}

}  // namespace

std::string AnchorComment(std::size_t n) { return "<!--qf:" + std::to_string(n) + "-->"; }

std::vector<std::uint32_t> AnchorPlaces(std::string_view page,
                                        const std::vector<TPhraseSpan>& spans) {
    const TPageMap map = MapPage(page);
    std::vector<std::uint32_t> places;
    places.reserve(spans.size());
    for (const TPhraseSpan& span : spans) {
        std::uint32_t place = kNoAnchor;
        // A sentence's span starts at its first character or at the tag of its first
        // placeholder: in front of either the anchor stands before the whole sentence.
        if (span.Source == TSource::Text || span.Source == TSource::Line ||
            span.Source == TSource::Sentence) {
            place = span.Begin;
        } else if (span.Source == TSource::Cdata) {
            // In front of the section: inside it, the comment would be text.
            constexpr std::string_view kOpen = "<![CDATA[";
            if (span.RunBegin >= kOpen.size() &&
                page.substr(span.RunBegin - kOpen.size(), kOpen.size()) == kOpen)
                place = span.RunBegin - static_cast<std::uint32_t>(kOpen.size());
        } else if (const TRange* tag = map.TagAround(span.RunBegin)) {
            place = tag->first;
        }
        if (place != kNoAnchor && (place >= page.size() || map.IsQuiet(place))) place = kNoAnchor;
        places.push_back(place);
    }
    return places;
}

std::string InsertAnchors(std::string_view page, const std::vector<std::uint32_t>& places) {
    std::string out;
    out.reserve(page.size() + 14 * places.size());
    std::size_t from = 0;
    for (std::size_t k = 0; k < places.size(); ++k) {
        const std::uint32_t at = places[k];
        if (at == kNoAnchor || at < from || at > page.size()) continue;
        out.append(page.substr(from, at - from));
        out += AnchorComment(k);
        from = at;
    }
    out.append(page.substr(from));
    return out;
}

std::size_t SentenceCharacters(const TDocument& doc, std::size_t i) {
    if (i >= doc.PhraseCount() || doc.Spans()[i].Source != TSource::Sentence) return 0;
    return SentenceCharacters(doc.Text(i));
}

std::size_t SentenceCharacters(std::string_view text) {
    std::size_t count = 0;
    // A character is a byte that does not continue a UTF-8 sequence.
    for (const char c : TextWithoutPlaceholders(text))
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && !IsHtmlSpace(c)) ++count;
    return count;
}

std::string AnchoredPage(const TDocument& doc, std::string_view saved) {
    const std::string_view page = doc.Page();
    const std::vector<TPhraseSpan>& spans = doc.Spans();
    if (!HoldsAt(saved, 0, doc.Bom())) return std::string(saved);
    const std::vector<std::uint32_t> places = AnchorPlaces(page, spans);
    // Working out how a save encodes renders the page once: only when needed.
    std::optional<TSpanWriter> writer;
    TEncodeMode mode = TEncodeMode::Entities;
    std::string out;
    out.reserve(saved.size() + 14 * spans.size());
    out += doc.Bom();
    std::size_t at = doc.Bom().size();  // in saved
    std::size_t from = 0;               // in page
    // Copies the page up to `to`, which saved must hold unchanged.
    auto copyTo = [&](std::size_t to) {
        const std::string_view part = page.substr(from, to - from);
        if (!HoldsAt(saved, at, part)) return false;
        if (writer) writer->Pass(part);
        out.append(part);
        at += part.size();
        from = to;
        return true;
    };
    for (std::size_t k = 0; k < spans.size(); ++k) {
        if (places[k] != kNoAnchor && places[k] >= from) {
            if (!copyTo(places[k])) return std::string(saved);
            out += AnchorComment(k);
        }
        if (!doc.IsChanged(k)) continue;
        const TPhraseSpan& span = spans[k];
        // A phrase inside a sentence written anew was written with it, and its anchor too.
        if (span.Begin < from && span.End <= from) continue;
        if (span.Begin < from || !copyTo(span.Begin)) return std::string(saved);
        if (!writer) {
            // What stands in front was passed unchanged.
            mode = doc.SavingMode();
            writer.emplace(doc.EncodingInfo(), mode, doc.NewValueQuote());
            writer->Pass(doc.Bom());
            writer->Pass(page.substr(0, span.Begin));
        }
        const std::string encoded = doc.EncodedText(k, mode);
        const std::string text = writer->WriteEncoded(encoded);
        if (!HoldsAt(saved, at, text)) return std::string(saved);
        // A sentence written anew carries the anchors of the phrases in its tags, in front of
        // those tags wherever the new text put them.
        if (span.Source == TSource::Sentence && text == encoded) {
            out += doc.EncodedText(k, mode, [&](std::uint32_t tag) {
                std::string anchors;
                for (std::size_t j = k + 1; j < spans.size() && spans[j].Begin < span.End; ++j)
                    if (places[j] == tag) anchors += AnchorComment(j);
                return anchors;
            });
        } else {
            out += text;
        }
        at += text.size();
        from = span.End;
    }
    if (!copyTo(page.size()) || at != saved.size()) return std::string(saved);
    return out;
}

}  // namespace quillfen
