#include "core/document/document.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "core/document/format.h"
#include "core/document/spanwriter.h"
#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/text/ascii.h"
#include "core/text/pagecodec.h"
#include "core/text/utf8.h"

namespace quillfen {

void TDocument::LoadFile(const std::string& path, TTags tags, const TProgress& progress) {
    TFileStamp stamp;
    std::string data = ReadPageStamped(path, stamp);
    Load(std::move(data), tags, progress, path);
    stamp_ = stamp;
    stampPath_ = path;
}

void TDocument::LoadBytes(std::string_view data, TTags tags, const TProgress& progress,
                          const std::string& path) {
    Load(std::string(data), tags, progress, path);
}

void TDocument::LoadFile(const std::string& path, TTags tags, TUnits units,
                         const TProgress& progress) {
    if (units == TUnits::Sentences && !SentencesAvailable()) throw SentencesUnavailableError();
    TFileStamp stamp;
    std::string data = ReadPageStamped(path, stamp);
    Load(std::move(data), tags, progress, path, units);
    stamp_ = stamp;
    stampPath_ = path;
}

void TDocument::LoadBytes(std::string_view data, TTags tags, TUnits units,
                          const TProgress& progress, const std::string& path) {
    if (units == TUnits::Sentences && !SentencesAvailable()) throw SentencesUnavailableError();
    Load(std::string(data), tags, progress, path, units);
}

void TDocument::Load(std::string&& data, TTags tags, const TProgress& progress,
                     const std::string& path, TUnits units) {
    // A UTF-16 or UTF-32 page is refused by the name of its encoding.
    const std::string_view head = std::string_view(data).substr(0, 4);
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF") ||
        head == std::string_view("\0\0\xFE\xFF", 4))
        DetectPageEncoding(data, path);
    // The text of a page ends at a zero byte; whatever stands behind one would be gone from the
    // page after the first save.
    if (std::memchr(data.data(), '\0', data.size())) throw ZeroByteError(path);
    // Phrases are placed by 32-bit offsets.
    if (data.size() > 0xFFFFFFF0u) throw TooLargeError(path);
    std::string_view text(data);
    // A byte-order mark behind leading blanks or control bytes is the page's own too.
    std::size_t lead = 0;
    while (lead < text.size() && static_cast<unsigned char>(text[lead]) <= 32) ++lead;
    TEncodingInfo encoding;
    std::size_t prefix = 0;
    if (text.substr(lead, kUtf8Bom.size()) == kUtf8Bom) {
        encoding.kind = TPageEncoding::Utf8;
        prefix = lead + kUtf8Bom.size();
    } else {
        encoding = DetectPageEncoding(text, path);
    }
    // Texts are read through the page's encoding: one that cannot be converted is refused.
    CheckConvertible(encoding, path);
    Clear();
    data_ = std::move(data);
    bom_ = data_.substr(0, prefix);
    encoding_ = std::move(encoding);
    const std::string_view page = Page();
    // Pages hold a phrase for every 10 to 30 bytes; room for one every 8 is seldom outgrown.
    // Room reserved and not used costs no memory: the system gives pages only where they are
    // written.
    const std::size_t expected = page.size() / 8 + 16;
    spans_.reserve(expected);
    flags_.reserve(expected);
    textEnds_.reserve(expected);
    units_ = units;
    tags_ = tags;
    auto keep = [&](TTextItem&& item, const TPhraseSpan& span) {
        std::uint8_t flags = static_cast<std::uint8_t>(item.Kind()) |
                             (item.LeadingSpace ? kLeadingSpace : 0) |
                             (item.TrailingSpace ? kTrailingSpace : 0);
        if (page.substr(span.Begin, span.End - span.Begin) == item.Text)
            flags |= kInPage;
        else
            texts_ += item.Text;
        if (texts_.size() > 0xFFFFFFFFu) throw TooLargeError(path);
        if (!item.Note.empty()) {
            // Notes stand on whole sections: a run of phrases shares one.
            if (notes_.empty() || notes_.back() != item.Note) notes_.push_back(item.Note);
            notedPhrases_.emplace_back(static_cast<std::uint32_t>(spans_.size()),
                                       static_cast<std::uint32_t>(notes_.size() - 1));
        }
        spans_.push_back(span);
        flags_.push_back(flags);
        textEnds_.push_back(static_cast<std::uint32_t>(texts_.size()));
    };
    if (units == TUnits::Sentences) {
        ExtractSentences(
            page, tags, encoding_,
            [&](TTextItem&& item, const TPhraseSpan& span, TPlaceholders&& placeholders) {
                if (!placeholders.empty())
                    placeholders_.emplace_back(spans_.size(), std::move(placeholders));
                keep(std::move(item), span);
            },
            progress);
    } else {
        ExtractPhrases(page, tags, encoding_, keep, progress);
    }
}

const TPlaceholders& TDocument::Placeholders(std::size_t i) const {
    static const TPlaceholders none;
    const auto it = std::lower_bound(placeholders_.begin(), placeholders_.end(), i,
                                     [](const auto& p, std::size_t k) { return p.first < k; });
    return it != placeholders_.end() && it->first == i ? it->second : none;
}

void TDocument::CheckText(std::size_t i, std::string_view text) const {
    const TPhraseSpan& span = spans_[i];
    if (span.Source == TSource::Sentence) CheckPlaceholders(text, Placeholders(i));
    if (span.Source != TSource::Cdata) return;
    CdataBytes(text, encoding_, TEncodeMode::Entities, i + 1);
    if (MayReadAsMarkup(text) && CharsetDeclarationEnd(Page()) > span.RunBegin)
        throw CdataTextError(i + 1, TCdataFault::Declaration);
}

void TDocument::CheckWritable() const {
    // Rendered only where it may fail at all: hardly ever.
    if (encoding_.kind != TPageEncoding::Windows1252) return;
    for (std::size_t k = 0; k < changed_.Size(); ++k)
        if (spans_[changed_.Phrase(k)].Source == TSource::Cdata && !IsAscii(changed_.Text(k))) {
            RenderReadingAlike(false);
            return;
        }
}

std::string TDocument::EncodePhrase(std::size_t k, std::string_view text, TEncodeMode mode,
                                    bool all, const TBeforeTag* before) const {
    const TPhraseSpan& span = spans_[k];
    if (span.Source == TSource::Cdata) return CdataBytes(text, encoding_, mode, k + 1);
    if (span.Source != TSource::Sentence)
        return EncodeForSpan(text, span.Source, encoding_, mode, NewValueQuote());
    // A sentence's tags are written as they stand: the page's bytes with the new texts of the
    // phrases inside them, which follow the sentence.
    const std::string_view page = Page();
    return EncodeSentence(
        text, Placeholders(k),
        [&](std::uint32_t begin, std::uint32_t end) {
            std::string out = before ? (*before)(begin) : std::string();
            std::size_t from = begin;
            for (std::size_t j = k + 1; j < spans_.size() && spans_[j].Begin < span.End; ++j) {
                const TPhraseSpan& inner = spans_[j];
                if (inner.Begin < from || inner.End > end) continue;
                if (!all && !IsChanged(j)) continue;
                out.append(page.substr(from, inner.Begin - from));
                out += EncodeForSpan(Text(j), inner.Source, encoding_, mode, NewValueQuote());
                from = inner.End;
            }
            out.append(page.substr(from, end - from));
            return out;
        },
        encoding_, mode);
}

std::string TDocument::EncodedText(std::size_t i, TEncodeMode mode) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    return EncodePhrase(i, Text(i), mode);
}

std::string TDocument::EncodedText(std::size_t i, TEncodeMode mode,
                                   const TBeforeTag& before) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    return EncodePhrase(i, Text(i), mode, false, &before);
}

void TDocument::Clear() {
    data_.clear();
    history_.clear();
    done_ = 0;
    stamp_.reset();
    stampPath_.clear();
    bom_.clear();
    changed_.Clear();
    encoding_ = TEncodingInfo{};
    spans_ = {};
    flags_ = {};
    notes_ = {};
    notedPhrases_ = {};
    textEnds_ = {};
    texts_ = {};
    units_ = TUnits::Runs;
    tags_ = TTags::None;
    placeholders_ = {};
}

std::string_view TDocument::ScannedText(std::size_t i) const {
    const TPhraseSpan& span = spans_[i];
    if (flags_[i] & kInPage) return Page().substr(span.Begin, span.End - span.Begin);
    const std::size_t from = i == 0 ? 0 : textEnds_[i - 1];
    return std::string_view(texts_).substr(from, textEnds_[i] - from);
}

std::string_view TDocument::Text(std::size_t i) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    if (!changed_.Empty()) {
        const std::size_t k = changed_.Find(i);
        if (k != TPhraseTexts::npos) return changed_.Text(k);
    }
    return ScannedText(i);
}

std::string_view TDocument::Note(std::size_t i) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    const auto it = std::lower_bound(notedPhrases_.begin(), notedPhrases_.end(), i,
                                     [](const std::pair<std::uint32_t, std::uint32_t>& n,
                                        std::size_t at) { return n.first < at; });
    if (it == notedPhrases_.end() || it->first != i) return {};
    return notes_[it->second];
}

TKind TDocument::Kind(std::size_t i) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    return TKind(flags_[i] & kKindBits);
}

TTextItem TDocument::Phrase(std::size_t i) const {
    TTextItem item(static_cast<std::uint32_t>(i), std::string(Text(i)));
    item.SetKind(TKind(flags_[i] & kKindBits));
    item.LeadingSpace = flags_[i] & kLeadingSpace;
    item.TrailingSpace = flags_[i] & kTrailingSpace;
    item.Preformatted = IsPreformatted(i);
    item.Note = Note(i);
    return item;
}

std::vector<TTextItem> TDocument::Phrases() const {
    std::vector<TTextItem> phrases;
    phrases.reserve(spans_.size());
    for (std::size_t i = 0; i < spans_.size(); ++i) phrases.push_back(Phrase(i));
    return phrases;
}

std::uint64_t TDocument::TotalWords() const {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < spans_.size(); ++i) total += WordsOf(i, Text(i));
    return total;
}

std::uint64_t TDocument::WordsOf(std::size_t i, std::string_view text) const {
    return spans_[i].Source == TSource::Sentence ? CountWords(TextWithoutPlaceholders(text))
                                                 : CountWords(text);
}

std::pair<TEncodeMode, std::string> TDocument::RenderReadingAlike(bool all) const {
    return WriteReadingAlike(encoding_, [&](TEncodeMode mode) { return RenderWith(mode, all); });
}

std::string TDocument::Render() const {
    // Unchanged, the page is what was read, and was read in its own encoding.
    if (changed_.Empty()) return data_;
    return RenderReadingAlike(false).second;
}

TEncodeMode TDocument::SavingMode() const {
    return changed_.Empty() ? TEncodeMode::Entities : RenderReadingAlike(false).first;
}

std::string TDocument::RenderWith(TEncodeMode mode, bool all) const {
    // The page's bytes are copied in long runs; only the spans of changed phrases are written
    // anew.
    const std::string_view page = Page();
    std::string out;
    out.reserve(data_.size() + 16 * changed_.Size());
    out += bom_;
    TSpanWriter writer(encoding_, mode, NewValueQuote());
    writer.Pass(bom_);
    std::size_t from = 0;
    auto write = [&](std::size_t k, std::string_view text) {
        const TPhraseSpan& span = spans_[k];
        // A phrase inside a sentence written anew was written with it.
        if (span.Begin < from) return;
        const std::string_view before = page.substr(from, span.Begin - from);
        out.append(before);
        writer.Pass(before);
        out += writer.WriteEncoded(EncodePhrase(k, text, mode, all));
        from = span.End;
    };
    if (all) {
        for (std::size_t k = 0; k < spans_.size(); ++k) write(k, Text(k));
    } else {
        for (std::size_t k = 0; k < changed_.Size(); ++k)
            write(changed_.Phrase(k), changed_.Text(k));
    }
    out.append(page.substr(from));
    return out;
}

namespace {

// Follows whether bytes given in pieces are UTF-8 and whether they hold anything but ASCII.
class TUtf8Follower {
  public:
    void Add(std::string_view s) {
        for (const char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (!valid_) return;
            if (need_ > 0) {
                if (c < lo_ || c > hi_) valid_ = false;
                lo_ = 0x80;
                hi_ = 0xBF;
                --need_;
                continue;
            }
            if (c < 0x80) continue;
            nonAscii_ = true;
            if (c >= 0xC2 && c <= 0xDF) {
                need_ = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                need_ = 2;
                if (c == 0xE0) lo_ = 0xA0;
                if (c == 0xED) hi_ = 0x9F;
            } else if (c >= 0xF0 && c <= 0xF4) {
                need_ = 3;
                if (c == 0xF0) lo_ = 0x90;
                if (c == 0xF4) hi_ = 0x8F;
            } else {
                valid_ = false;
            }
        }
    }
    bool Valid() const { return valid_ && need_ == 0; }
    bool NonAscii() const { return nonAscii_; }

  private:
    int need_ = 0;
    unsigned char lo_ = 0x80, hi_ = 0xBF;
    bool valid_ = true, nonAscii_ = false;
};

bool MentionsDeclaration(std::string_view text) {
    const std::string lower = LowerAscii(text);
    return lower.find("meta") != std::string::npos || lower.find("charset") != std::string::npos;
}

}  // namespace

class TDocument::TRender final : public TPieces::TProducer {
  public:
    explicit TRender(const TDocument& doc) : doc_(doc) {}

    void Restart() override {
        writer_.emplace(doc_.encoding_, TEncodeMode::Entities, doc_.NewValueQuote());
        writer_->Pass(doc_.bom_);
        next_ = 0;
        from_ = 0;
        stage_ = TStage::Bom;
    }

    bool Next(std::string_view& part) override {
        const std::string_view page = doc_.Page();
        const TPhraseTexts& changed = doc_.changed_;
        for (;;) {
            switch (stage_) {
                case TStage::Bom:
                    stage_ = TStage::Before;
                    part = doc_.bom_;
                    break;
                case TStage::Before: {
                    // A phrase inside a sentence written anew was written with it.
                    while (next_ < changed.Size() &&
                           doc_.spans_[changed.Phrase(next_)].Begin < from_)
                        ++next_;
                    if (next_ == changed.Size()) {
                        stage_ = TStage::Tail;
                        continue;
                    }
                    const TPhraseSpan& span = doc_.spans_[changed.Phrase(next_)];
                    part = page.substr(from_, span.Begin - from_);
                    writer_->Pass(part);
                    stage_ = TStage::Text;
                    break;
                }
                case TStage::Text: {
                    const std::size_t i = changed.Phrase(next_);
                    encoded_ = writer_->WriteEncoded(
                        doc_.EncodePhrase(i, changed.Text(next_), TEncodeMode::Entities));
                    part = encoded_;
                    from_ = doc_.spans_[i].End;
                    ++next_;
                    stage_ = TStage::Before;
                    break;
                }
                case TStage::Tail:
                    part = page.substr(from_);
                    stage_ = TStage::End;
                    break;
                case TStage::End:
                    return false;
            }
            if (!part.empty()) return true;
        }
    }

  private:
    enum class TStage : std::uint8_t { Bom, Before, Text, Tail, End };
    const TDocument& doc_;
    std::optional<TSpanWriter> writer_;
    std::size_t next_ = 0;  // the next changed phrase
    std::size_t from_ = 0;  // where the page's bytes go on
    TStage stage_ = TStage::End;
    std::string encoded_;
};

bool TDocument::WritesAsRendered(const TPieces& render) const {
    if (encoding_.kind != TPageEncoding::Windows1252) return true;
    // ReadsOtherwise without the whole page: bytes that are no UTF-8 never read as UTF-8, and
    // ASCII reads as UTF-8 only where it is declared so, which the new texts can change only
    // in a tag or by naming a declaration.
    bool mayDeclare = false;
    for (std::size_t k = 0; k < changed_.Size() && !mayDeclare; ++k) {
        const TSource source = spans_[changed_.Phrase(k)].Source;
        mayDeclare = (source != TSource::Text && source != TSource::Line) ||
                     MentionsDeclaration(changed_.Text(k));
    }
    TUtf8Follower follower;
    render.ForEach(0, std::string_view::npos, [&](std::string_view part) {
        follower.Add(part);
        return follower.Valid();
    });
    return !follower.Valid() || (!follower.NonAscii() && !mayDeclare);
}

std::string TDocument::RenderAllPhrases() const { return RenderReadingAlike(true).second; }

std::string TDocument::TemplateBytes() const { return TemplateBytes(nullptr); }

std::string TDocument::TemplateBytes(std::vector<std::size_t>* markers) const {
    const std::string_view page = Page();
    std::string out;
    out.reserve(data_.size() + 8 * spans_.size());
    out += bom_;
    std::size_t from = 0;
    for (std::size_t k = 0; k < spans_.size();) {
        const TPhraseSpan& span = spans_[k];
        out.append(page.substr(from, span.Begin - from));
        if (markers) markers->push_back(out.size());
        out += PhraseMarker(k);
        from = span.End;
        k = span.Source == TSource::Sentence ? AppendSentenceTable(out, k, markers) : k + 1;
    }
    out.append(page.substr(from));
    return out;
}

std::size_t TDocument::AppendSentenceTable(std::string& out, std::size_t k,
                                           std::vector<std::size_t>* markers) const {
    // The phrases inside the sentence lie in its tags, in the order of the placeholders' start
    // tags; each stands in the table as its marker.
    const std::string_view page = Page();
    const TPhraseSpan& sentence = spans_[k];
    std::size_t last = k + 1;
    while (last < spans_.size() && spans_[last].Begin < sentence.End) ++last;
    std::size_t next = k + 1;
    // Where the table's bytes will stand in out, for the markers' places.
    std::vector<std::size_t> places;
    auto tag = [&](std::uint32_t begin, std::uint32_t end) {
        std::string bytes;
        std::size_t at = begin;
        for (; next < last && spans_[next].Begin >= at && spans_[next].End <= end; ++next) {
            bytes.append(page.substr(at, spans_[next].Begin - at));
            places.push_back(bytes.size());
            bytes += PhraseMarker(next);
            at = spans_[next].End;
        }
        bytes.append(page.substr(at, end - at));
        return bytes;
    };
    out += kTableOpen;
    for (const TPlaceholder& p : Placeholders(k)) {
        places.clear();
        const std::string open = tag(p.Begin, p.End);
        const std::size_t openPlaces = places.size();
        const std::string close = p.Paired ? tag(p.CloseBegin, p.CloseEnd) : std::string();
        const std::size_t at = out.size();
        AppendTableEntry(out, p.Name, open, p.Paired, close);
        if (!markers) continue;
        // The entry is the name, '=', the length, ':', the start tag, and so for the end tag.
        const std::size_t openAt = out.find(':', at + p.Name.size()) + 1;
        for (std::size_t n = 0; n < places.size(); ++n) {
            if (n < openPlaces) {
                markers->push_back(openAt + places[n]);
            } else {
                const std::size_t closeAt = out.find(':', openAt + open.size()) + 1;
                markers->push_back(closeAt + places[n]);
            }
        }
    }
    out += kTableClose;
    // A phrase outside the tags would be lost on recombination.
    if (next != last) throw SentenceTemplateError();
    return last;
}

void TDocument::Save(const std::string& path, const TSaveHooks* hooks) {
    TSaveOptions options;
    if (stamp_) {
        options.Read = &*stamp_;
        options.ReadFrom = stampPath_;
    }
    options.Hooks = hooks;
    TFileStamp written;
    // Unchanged, the page is written from the bytes as read, without a copy.
    // Changed, it is written from the page's own bytes and the new texts' as they lie: a large
    // page is not put together in memory once more.
    if (changed_.Empty()) {
        WriteFileAtomically(path, data_, written, options);
    } else {
        TRender render(*this);
        const TPieces pieces(render);
        if (WritesAsRendered(pieces))
            WriteFileAtomically(path, pieces, written, options);
        else
            WriteFileAtomically(path, Render(), written, options);
    }
    stamp_ = written;
    stampPath_ = path;
}

bool TDocument::ChangedOnDisk(const std::string& path) const {
    return stamp_ && quillfen::ChangedOnDisk(path, *stamp_);
}

namespace {

using TRuns = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

void AddToRuns(TRuns& runs, std::size_t phrase) {
    const auto p = static_cast<std::uint32_t>(phrase);
    if (!runs.empty() && runs.back().second + 1 == p)
        runs.back().second = p;
    else
        runs.emplace_back(p, p);
}

// Calls f(phrase, k) for each phrase of a step in page order: k the entry of texts that holds
// its text, or npos for a phrase of one of the runs.
template <class F>
void ForEachOfStep(const TPhraseTexts& texts, const TRuns& runs, F f) {
    std::size_t k = 0;
    for (const auto& [first, last] : runs) {
        for (; k < texts.Size() && texts.Phrase(k) < first; ++k) f(texts.Phrase(k), k);
        for (std::size_t p = first; p <= last; ++p) f(p, TPhraseTexts::npos);
    }
    for (; k < texts.Size(); ++k) f(texts.Phrase(k), k);
}

}  // namespace

std::vector<std::size_t> TDocument::TStep::Phrases() const {
    std::vector<std::size_t> phrases;
    ForEachOfStep(texts_, scanned_, [&](std::size_t p, std::size_t) { phrases.push_back(p); });
    return phrases;
}

void TDocument::Apply(TStep& step) {
    // The texts were checked when the step was made. The phrases' texts and the step's are
    // swapped in one walk over both, in page order; a texts' entry never equals the scan's.
    TPhraseTexts changed;
    TStep other;
    if (changed_.Empty()) {
        // A step on a page as read (a merge, mostly): its texts become the page's whole.
        ForEachOfStep(step.texts_, step.scanned_,
                      [&](std::size_t p, std::size_t) { AddToRuns(other.scanned_, p); });
        changed = std::move(step.texts_);
    } else {
        std::size_t c = 0;
        auto passChanged = [&](std::size_t below) {
            for (; c < changed_.Size() && changed_.Phrase(c) < below; ++c)
                changed.Add(changed_.Phrase(c), changed_.Text(c));
        };
        ForEachOfStep(step.texts_, step.scanned_, [&](std::size_t p, std::size_t k) {
            passChanged(p);
            if (k != TPhraseTexts::npos) changed.Add(p, step.texts_.Text(k));
            if (c < changed_.Size() && changed_.Phrase(c) == p)
                other.texts_.Add(p, changed_.Text(c++));
            else
                AddToRuns(other.scanned_, p);
        });
        passChanged(spans_.size());
    }
    changed_ = std::move(changed);
    step = std::move(other);
}

void TDocument::Record(TPhraseTexts texts, const TWrite& write) {
    texts.Sort();
    // Every text is checked before any is set: a sentence's must hold its placeholders.
    bool scanned = false;
    for (std::size_t k = 0; k < texts.Size(); ++k) {
        const std::size_t i = texts.Phrase(k);
        if (i >= spans_.size()) throw ListIndexError(i);
        CheckText(i, texts.Text(k));
        scanned = scanned || texts.Text(k) == ScannedText(i);
    }
    TStep step;
    if (scanned) {
        // A phrase set back to what the scan read keeps no text.
        for (std::size_t k = 0; k < texts.Size(); ++k) {
            const std::size_t i = texts.Phrase(k);
            if (texts.Text(k) == ScannedText(i))
                AddToRuns(step.scanned_, i);
            else
                step.texts_.Add(i, texts.Text(k));
        }
    } else {
        step.texts_ = std::move(texts);
    }
    // The steps that could be redone go only once the new one is the page's.
    std::vector<TStep> undone(std::make_move_iterator(history_.begin() + done_),
                              std::make_move_iterator(history_.end()));
    history_.resize(done_);
    history_.push_back(std::move(step));
    try {
        Apply(history_.back());
        CheckWritable();
        write();
    } catch (...) {
        Apply(history_.back());
        history_.pop_back();
        std::move(undone.begin(), undone.end(), std::back_inserter(history_));
        throw;
    }
    ++done_;
}

const TDocument::TStep& TDocument::Step(bool redo, const TWrite& write) {
    if (redo ? !CanRedo() : !CanUndo()) throw ListIndexError(done_);
    TStep& step = history_[redo ? done_ : done_ - 1];
    Apply(step);
    try {
        write();
    } catch (...) {
        Apply(step);
        throw;
    }
    done_ = redo ? done_ + 1 : done_ - 1;
    return step;
}

const TDocument::TStep& TDocument::Undo(const TWrite& write) { return Step(false, write); }

const TDocument::TStep& TDocument::Redo(const TWrite& write) { return Step(true, write); }

void TDocument::Revert(const TWrite& write) {
    TPhraseTexts changed = std::move(changed_);
    std::vector<TStep> history = std::move(history_);
    const std::size_t done = std::exchange(done_, 0);
    changed_.Clear();
    history_.clear();
    try {
        write();
    } catch (...) {
        changed_ = std::move(changed);
        history_ = std::move(history);
        done_ = done;
        throw;
    }
}

std::string TDocument::OriginalText(std::size_t i) const {
    if (i >= spans_.size()) throw ListIndexError(i);
    return std::string(ScannedText(i));
}

void TDocument::SetPhraseText(std::size_t i, std::string text) {
    if (i >= spans_.size()) throw ListIndexError(i);
    CheckText(i, text);
    std::optional<std::string> before;
    if (const std::size_t k = changed_.Find(i); k != TPhraseTexts::npos)
        before = std::string(changed_.Text(k));
    if (text == ScannedText(i))
        changed_.Erase(i);
    else
        changed_.Set(i, text);
    try {
        CheckWritable();
    } catch (...) {
        if (before)
            changed_.Set(i, *before);
        else
            changed_.Erase(i);
        throw;
    }
}

}  // namespace quillfen
