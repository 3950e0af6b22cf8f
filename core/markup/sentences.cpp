#include "core/markup/sentences.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <utility>

#include "core/errors.h"
#include "core/markup/abbreviations.h"
#include "core/markup/tokenizer.h"
#include "core/text/ascii.h"
#include "core/text/utf8.h"

#ifdef QUILLFEN_SENTENCES
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>
#endif

namespace quillfen {

namespace {

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of a placeholder's shape at text[at] ('<' there): "<" "/"? letters digits "/"? ">",
// not both slashes; 0 if there is none.
std::size_t ShapeAt(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    const bool close = i < text.size() && text[i] == '/';
    if (close) ++i;
    const std::size_t letters = i;
    while (i < text.size() && IsLower(text[i])) ++i;
    if (i == letters) return 0;
    const std::size_t digits = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == digits || text[digits] == '0') return 0;
    if (!close && i < text.size() && text[i] == '/') ++i;
    if (i >= text.size() || text[i] != '>') return 0;
    return i + 1 - at;
}

// A stretch of the page's own text as a sentence's text holds it: a '<' that reads like a
// placeholder as "\<", the backslashes right before it doubled, and those at its end doubled
// when a placeholder follows.
}  // namespace

void AppendSentenceLiteral(std::string& out, std::string_view text, bool placeholderFollows) {
    std::size_t slashes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<' && ShapeAt(text, i) != 0) {
            out.append(slashes + 1, '\\');
        }
        out += c;
        slashes = c == '\\' ? slashes + 1 : 0;
    }
    if (placeholderFollows) out.append(slashes, '\\');
}

std::vector<TSentencePiece> SentencePieces(std::string_view text) {
    std::vector<TSentencePiece> pieces;
    std::string literal;
    auto flush = [&] {
        if (!literal.empty()) pieces.push_back({TSentencePiece::Literal, std::move(literal), {}});
        literal.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\\') {
            std::size_t j = i;
            while (j < text.size() && text[j] == '\\') ++j;
            const std::size_t n = j - i;
            if (j < text.size() && text[j] == '<' && ShapeAt(text, j) != 0) {
                literal.append(n / 2, '\\');
                if (n % 2 == 1) {
                    literal += '<';
                    i = j + 1;
                } else {
                    i = j;
                }
                if (n % 2 == 1) continue;
                // The placeholder itself follows.
            } else {
                literal.append(n, '\\');
                i = j;
                continue;
            }
        }
        if (text[i] == '<') {
            const std::size_t len = ShapeAt(text, i);
            if (len != 0) {
                flush();
                TSentencePiece p;
                p.written = std::string(text.substr(i, len));
                const bool close = text[i + 1] == '/';
                const bool isVoid = text[i + len - 2] == '/';
                p.kind = close    ? TSentencePiece::Close
                         : isVoid ? TSentencePiece::Void
                                  : TSentencePiece::Open;
                const std::size_t from = i + (close ? 2 : 1);
                p.text = std::string(text.substr(from, i + len - (isVoid ? 2 : 1) - from));
                pieces.push_back(std::move(p));
                i += len;
                continue;
            }
        }
        literal += text[i++];
    }
    flush();
    return pieces;
}

namespace {

std::string Written(const TPlaceholder& p, TSentencePiece::TKind kind) {
    if (kind == TSentencePiece::Void) return "<" + p.Name + "/>";
    return (kind == TSentencePiece::Close ? "</" : "<") + p.Name + ">";
}

}  // namespace

void CheckPlaceholders(std::string_view text, const TPlaceholders& placeholders) {
    const std::vector<TSentencePiece> pieces = SentencePieces(text);
    std::map<std::string, std::pair<const TPlaceholder*, int>> seen;  // name: its opens/voids
    std::map<std::string, int> closes;
    for (const TPlaceholder& p : placeholders) seen[p.Name] = {&p, 0};
    std::vector<std::string> open;
    for (const TSentencePiece& piece : pieces) {
        if (piece.kind == TSentencePiece::Literal) continue;
        const auto it = seen.find(piece.text);
        if (it == seen.end() || it->second.first->Paired != (piece.kind != TSentencePiece::Void))
            throw PlaceholderUnknownError(piece.written);
        if (piece.kind == TSentencePiece::Close) {
            if (++closes[piece.text] > 1) throw PlaceholderDoubledError(piece.written);
            if (open.empty() || open.back() != piece.text) {
                // A close without its open before it: the open is missing unless it comes later.
                if (it->second.second == 0 &&
                    std::none_of(pieces.begin(), pieces.end(), [&](const TSentencePiece& q) {
                        return q.kind == TSentencePiece::Open && q.text == piece.text;
                    }))
                    throw PlaceholderMissingError(Written(*it->second.first, TSentencePiece::Open));
                throw PlaceholderBrokenError(piece.written);
            }
            open.pop_back();
            continue;
        }
        if (++it->second.second > 1) throw PlaceholderDoubledError(piece.written);
        if (piece.kind == TSentencePiece::Open) open.push_back(piece.text);
    }
    for (const TPlaceholder& p : placeholders) {
        const int n = seen[p.Name].second;
        if (n == 0)
            throw PlaceholderMissingError(
                Written(p, p.Paired ? TSentencePiece::Open : TSentencePiece::Void));
    }
    if (!open.empty())
        throw PlaceholderMissingError(Written(*seen[open.back()].first, TSentencePiece::Close));
}

std::string EncodeSentence(std::string_view text, const TPlaceholders& placeholders,
                           const TTagBytes& tagBytes, const TEncodingInfo& encoding,
                           TEncodeMode mode) {
    std::map<std::string_view, const TPlaceholder*> byName;
    for (const TPlaceholder& p : placeholders) byName[p.Name] = &p;
    std::string out;
    for (const TSentencePiece& piece : SentencePieces(text)) {
        if (piece.kind == TSentencePiece::Literal) {
            out += EncodeForSpan(piece.text, TSource::Text, encoding, mode);
            continue;
        }
        const auto it = byName.find(piece.text);
        if (it == byName.end()) throw PlaceholderUnknownError(piece.written);
        const TPlaceholder& p = *it->second;
        if (piece.kind == TSentencePiece::Close)
            out += tagBytes(p.CloseBegin, p.CloseEnd);
        else
            out += tagBytes(p.Begin, p.End);
    }
    return out;
}

std::string TextWithoutPlaceholders(std::string_view text) {
    std::string out;
    for (const TSentencePiece& piece : SentencePieces(text))
        if (piece.kind == TSentencePiece::Literal) out += piece.text;
    return out;
}

#ifndef QUILLFEN_SENTENCES

bool SentencesAvailable() { return false; }

void ExtractSentences(std::string_view, TTags, const TEncodingInfo&, const TSentenceSink&,
                      const TProgress&) {
    throw SentencesUnavailableError();
}

#else

bool SentencesAvailable() { return true; }

namespace {

// A name of up to eight letters as one number, so that a switch finds it without comparing
// strings (a tag's name is read for every tag of a page).
constexpr std::uint64_t Packed(std::string_view name) {
    std::uint64_t packed = 0;
    for (const char c : name) packed = packed << 8 | static_cast<unsigned char>(c);
    return packed;
}

// HTML's phrasing elements, and the old ones that browsers lay out alike: they flow with the
// text around them. Every other element ends a flow; svg and math are carried whole.
bool IsPhrasing(std::string_view name) {
    if (name.size() <= 8) {
        switch (Packed(name)) {
            case Packed("a"):
            case Packed("abbr"):
            case Packed("b"):
            case Packed("bdi"):
            case Packed("bdo"):
            case Packed("big"):
            case Packed("br"):
            case Packed("button"):
            case Packed("cite"):
            case Packed("code"):
            case Packed("data"):
            case Packed("del"):
            case Packed("dfn"):
            case Packed("em"):
            case Packed("font"):
            case Packed("i"):
            case Packed("img"):
            case Packed("ins"):
            case Packed("kbd"):
            case Packed("label"):
            case Packed("mark"):
            case Packed("nobr"):
            case Packed("q"):
            case Packed("s"):
            case Packed("samp"):
            case Packed("small"):
            case Packed("span"):
            case Packed("strike"):
            case Packed("strong"):
            case Packed("sub"):
            case Packed("sup"):
            case Packed("time"):
            case Packed("tt"):
            case Packed("u"):
            case Packed("var"):
            case Packed("wbr"):
                return true;
            default:
                break;
        }
    }
    return name.find('-') != std::string_view::npos;  // custom elements
}

// Whether ICU could end a sentence inside text: ASCII ends one only at '.', '!' and '?', so
// most headings, cells and links need no breaker.
bool MayEndSentence(std::string_view text) {
    for (const char c : text)
        if (c == '.' || c == '!' || c == '?' || static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

bool IsVoidElement(std::string_view name) { return name == "br" || name == "wbr" || name == "img"; }

// A language's sentence breaker: ICU's sentence break iterator, whose breaks after an
// abbreviation are passed over.
struct TBreaker {
    std::unique_ptr<icu::BreakIterator> iterator;
    std::unique_ptr<TAbbreviations> abbreviations;
};

// The sentence breakers, one per language, made once.
class TBreakers {
  public:
    // Null where ICU has no breaker for the language.
    const TBreaker* For(const std::string& lang) {
        auto it = breakers_.find(lang);
        if (it != breakers_.end()) return it->second.iterator ? &it->second : nullptr;
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale locale =
            lang.empty() ? icu::Locale::getRoot() : icu::Locale::forLanguageTag(lang, status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            locale = icu::Locale::getRoot();
        }
        TBreaker made;
        made.iterator.reset(icu::BreakIterator::createSentenceInstance(locale, status));
        // Without a breaker for the language, its flows keep their runs.
        if (U_FAILURE(status)) made.iterator.reset();
        if (made.iterator)
            made.abbreviations =
                std::make_unique<TAbbreviations>(locale.getBaseName(), locale.getLanguage());
        const TBreaker& kept = breakers_.emplace(lang, std::move(made)).first->second;
        return kept.iterator ? &kept : nullptr;
    }

  private:
    std::map<std::string, TBreaker> breakers_;
};

struct TCaptured {
    TTextItem item;
    TPhraseSpan span;
    int owner;  // the flow item it came from, -1 outside a flow
};

// One thing of a flow, in page order.
struct TItem {
    enum TKind : std::uint8_t { Text, Open, Close, Void, Carried } kind = Text;
    std::uint32_t begin = 0, end = 0;         // its bytes: a run, a tag, a carried element
    std::uint32_t at = 0;                     // where it stands in the flow's text
    std::uint32_t atEnd = 0;                  // a text's end in the flow's text
    std::uint32_t chunks = 0, chunksEnd = 0;  // a text's words
    std::string name;                         // an element's name, in lower case
    int partner = -1;                         // the other tag of a pair
    int group = -1;                           // the sentence group of a tag
};

// A stretch of a run without whitespace, and where it stands in the flow's text.
struct TChunk {
    std::uint32_t begin, end, at, atEnd;
};

class TSentenceScanner final : public TTokenSink {
  public:
    TSentenceScanner(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                     const TSentenceSink& sink)
        : page_(page), encoding_(encoding), sink_(sink) {
        capture_ = [this](TTextItem&& item, const TPhraseSpan& span) {
            if (owner_ < 0)
                Emit(std::move(item), span, {});
            else
                captured_.push_back({std::move(item), span, owner_});
        };
        runs_ = MakeRunScanner(page, tags, encoding, capture_);
        // Told of every closing element, to tell the runs' scanner what it watches for.
        closeWatch = std::numeric_limits<std::size_t>::max();
    }
    ~TSentenceScanner() override {
        if (ut_) utext_close(ut_);
    }
    TSentenceScanner(const TSentenceScanner&) = delete;
    TSentenceScanner& operator=(const TSentenceScanner&) = delete;

    void Text(std::size_t a, std::size_t b, TTextMode mode) override {
        Gap(a);
        last_ = std::max(last_, b);
        if (carried_ >= 0) {
            Owned(carried_, [&] { runs_->Text(a, b, mode); });
            return;
        }
        // Lines keep their run phrases; so does a CDATA section outside a carried svg or math
        // (one left as runs, where an HTML tag broke out of it): its text is no flow's, as no
        // reference is read in it.
        if (mode != TTextMode::Flow) {
            EndFlow();
            Pass([&] { runs_->Text(a, b, mode); });
            return;
        }
        // Text that is not to be translated is no part of a sentence: the flow ends there.
        if (!runs_->Translating()) {
            EndFlow();
            Pass([&] { runs_->Text(a, b, mode); });
            return;
        }
        // The run's own phrase is wanted only if the flow is read as runs after all (AsRuns).
        const std::string_view note = runs_->RawNote();
        if (!note.empty()) notes_.emplace_back(static_cast<int>(items_.size()), note);
        AddText(a, b);
    }

    void Tag(const TTagToken& tag) override {
        Gap(tag.lt);
        last_ = std::max(last_, tag.gt + 1);
        const std::string name = LowerAscii(tag.name);
        if (carried_ >= 0) {
            if (CarriedTag(tag, name)) {
                Owned(carried_, [&] { runs_->Tag(tag); });
                return;
            }
            // The carried element does not end as it should: the flow is read as runs.
            Abandon();
        }
        if (!tag.end && tag.html) Lang(tag, name);
        if (tag.end && tag.html) EndLang(name);
        if (tag.html && !tag.hidden && (name == "svg" || name == "math") && !tag.end) {
            StartCarried(tag, name, true);
            return;
        }
        if (!tag.html || tag.hidden || !IsPhrasing(name)) {
            EndFlow();
            Pass([&] { runs_->Tag(tag); });
            return;
        }
        TItem item;
        item.begin = static_cast<std::uint32_t>(tag.lt);
        item.end = static_cast<std::uint32_t>(tag.gt + 1);
        item.name = name;
        if (tag.end) {
            item.kind = TItem::Close;
        } else if (IsVoidElement(name)) {
            item.kind = TItem::Void;
        } else if (TranslateNo(tag)) {
            StartCarried(tag, name, false);
            return;
        } else {
            item.kind = TItem::Open;
        }
        if (items_.empty()) lang_ = CurrentLang();
        item.at = static_cast<std::uint32_t>(text_.size());
        // A line break parts the words on either side; it reads as a blank to the breaker only.
        if (name == "br" && !text_.empty() && text_.back() != ' ') {
            breaks_.push_back(static_cast<std::uint32_t>(text_.size()));
            text_ += ' ';
        }
        if (item.kind == TItem::Void && name != "br" && name != "wbr") afterObject_ = true;
        items_.push_back(std::move(item));
        Owned(static_cast<int>(items_.size()) - 1, [&] { runs_->Tag(tag); });
    }

    void Closed(std::size_t open) override {
        if (open < runs_->closeWatch) runs_->Closed(open);
    }

    void Raw(std::size_t a, std::size_t b) override {
        if (carried_ >= 0) {
            last_ = std::max(last_, b);
            return;
        }
        Gap(a);
        last_ = std::max(last_, b);
        EndFlow();
    }

    void Finish() {
        if (carried_ >= 0) Abandon();
        EndFlow();
    }

  private:
    template <class F>
    void Owned(int owner, F f) {
        owner_ = owner;
        f();
        owner_ = -1;
    }
    template <class F>
    void Pass(F f) {
        owner_ = -1;
        f();
    }

    // Something the tokenizer reports nothing of (a comment, a doctype) ends a flow.
    void Gap(std::size_t at) {
        if (at > last_ && carried_ < 0) EndFlow();
        last_ = std::max(last_, at);
    }

    void Lang(const TTagToken& tag, const std::string& name) {
        // A new p, li, cell or row ends the one before it, and its language with it.
        static constexpr std::string_view kImplied[] = {"dd", "dt", "li", "option",
                                                        "p",  "td", "th", "tr"};
        if (!langs_.empty() && langs_.back().first == name &&
            std::find(std::begin(kImplied), std::end(kImplied), name) != std::end(kImplied))
            langs_.pop_back();
        std::string lang;
        bool has = false;
        ForEachAttribute(tag, [&](const TAttribute& a) {
            const bool plain = EqualsNoCase(a.name, "lang");
            if (plain || EqualsNoCase(a.name, "xml:lang")) {
                lang = std::string(a.value);
                has = true;
                if (plain) return false;
            }
            return true;
        });
        if (has && !IsVoidElement(name)) langs_.push_back({name, lang});
    }

    void EndLang(const std::string& name) {
        for (std::size_t i = langs_.size(); i-- > 0;)
            if (langs_[i].first == name) {
                langs_.resize(i);
                return;
            }
    }

    std::string CurrentLang() const {
        return langs_.empty() ? std::string() : langs_.back().second;
    }

    static bool TranslateNo(const TTagToken& tag) {
        bool no = false;
        ForEachAttribute(tag, [&](const TAttribute& a) {
            if (EqualsNoCase(a.name, "translate")) {
                no = EqualsNoCase(a.value, "no");
                return false;
            }
            return true;
        });
        return no;
    }

    void StartCarried(const TTagToken& tag, const std::string& name, bool foreign) {
        TItem item;
        item.kind = TItem::Carried;
        item.begin = static_cast<std::uint32_t>(tag.lt);
        item.end = static_cast<std::uint32_t>(tag.gt + 1);
        item.name = name;
        if (items_.empty()) lang_ = CurrentLang();
        item.at = static_cast<std::uint32_t>(text_.size());
        items_.push_back(std::move(item));
        afterObject_ = true;
        const int index = static_cast<int>(items_.size()) - 1;
        carriedForeign_ = foreign;
        carriedOpen_.clear();
        const bool selfClosing = foreign && !tag.text.empty() && tag.text.back() == '/';
        if (!selfClosing) {
            carried_ = index;
            carriedOpen_.push_back(name);
        }
        Owned(index, [&] { runs_->Tag(tag); });
    }

    // A tag inside a carried element; false where the element ends otherwise than by its end
    // tag (an HTML tag that breaks out of svg or math, a block inside a translate="no" span).
    bool CarriedTag(const TTagToken& tag, const std::string& name) {
        TItem& item = items_[carried_];
        if (carriedForeign_) {
            if (!tag.html) {
                if (tag.end) {
                    for (std::size_t i = carriedOpen_.size(); i-- > 0;)
                        if (carriedOpen_[i] == name) {
                            carriedOpen_.resize(i);
                            break;
                        }
                } else if (tag.text.empty() || tag.text.back() != '/') {
                    carriedOpen_.push_back(name);
                }
            } else {
                // HTML may stand inside svg's foreignObject, desc and title, and math's text
                // elements; elsewhere an HTML tag ends the svg or math.
                const std::string& top = carriedOpen_.back();
                static const std::vector<std::string_view> points = {
                    "foreignobject", "desc",          "title", "mi", "mo", "mn", "ms",
                    "mtext",         "annotation-xml"};
                if (std::find(points.begin(), points.end(), top) == points.end()) return false;
            }
        } else {
            if (!IsPhrasing(name)) return false;
            if (name == item.name) {
                if (tag.end) {
                    carriedOpen_.pop_back();
                } else {
                    carriedOpen_.push_back(name);
                }
            }
        }
        if (carriedOpen_.empty()) {
            item.end = static_cast<std::uint32_t>(tag.gt + 1);
            carried_ = -1;
        }
        return true;
    }

    // The flow so far is read as runs: its phrases as the run scan found them.
    void Abandon() {
        carried_ = -1;
        AsRuns();
        Reset();
    }

    // The flow's phrases as the run scan gives them, in page order: its texts read now, the
    // phrases of its tags and carried elements as they were read.
    void AsRuns() {
        std::size_t c = 0;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TItem& item = items_[i];
            if (item.kind == TItem::Text) {
                Pass([&] { runs_->Text(item.begin, item.end, TTextMode::Flow); });
                continue;
            }
            for (; c < captured_.size() && captured_[c].owner <= static_cast<int>(i); ++c)
                Emit(std::move(captured_[c].item), captured_[c].span, {});
        }
        for (; c < captured_.size(); ++c) Emit(std::move(captured_[c].item), captured_[c].span, {});
    }

    void AddText(std::size_t a, std::size_t b) {
        if (items_.empty()) lang_ = CurrentLang();
        TItem item;
        item.kind = TItem::Text;
        item.begin = static_cast<std::uint32_t>(a);
        item.end = static_cast<std::uint32_t>(b);
        item.at = static_cast<std::uint32_t>(text_.size());
        item.chunks = static_cast<std::uint32_t>(chunks_.size());
        // A reference that gives a blank ("&#13;", "&#10;") is white space as the blank is, and
        // stays out of the sentences' texts and spans as it stays out of a run's.
        auto blank = [&](std::size_t k) -> std::size_t {
            if (IsHtmlSpace(page_[k])) return 1;
            if (page_[k] != '&') return 0;
            const TReference r = ReadReference(page_.substr(k, b - k), TReferences::Text);
            return r.length != 0 && r.second == 0 && r.first < 0x80 &&
                           IsBlank(static_cast<char>(r.first))
                       ? r.length
                       : 0;
        };
        std::size_t i = a;
        while (i < b) {
            if (blank(i) != 0) {
                for (std::size_t n; i < b && (n = blank(i)) != 0;) i += n;
                // Blanks collapse into one, but not into those before an image or a carried
                // element, which stands between them.
                if (!text_.empty() && (text_.back() != ' ' || afterObject_)) text_ += ' ';
                afterObject_ = false;
                continue;
            }
            const std::size_t w = i;
            while (i < b && !blank(i)) ++i;
            afterObject_ = false;
            const std::string_view bytes = page_.substr(w, i - w);
            const std::uint32_t at = static_cast<std::uint32_t>(text_.size());
            if (bytes.find('&') == std::string_view::npos &&
                (encoding_.kind == TPageEncoding::Utf8 || IsAscii(bytes)))
                text_.append(bytes);
            else
                text_ += DecodeText(bytes, encoding_, TReferences::Text);
            chunks_.push_back({static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(i), at,
                               static_cast<std::uint32_t>(text_.size())});
        }
        item.chunksEnd = static_cast<std::uint32_t>(chunks_.size());
        item.atEnd = static_cast<std::uint32_t>(text_.size());
        items_.push_back(std::move(item));
    }

    // The page offset where the flow's text at `at` stands: at the start of a chunk, or inside
    // one, where the chunk's bytes decode to the text on either side. npos if nowhere.
    std::size_t PageAt(std::uint32_t at, bool end) const {
        auto it = std::lower_bound(
            chunks_.begin(), chunks_.end(), at,
            [&](const TChunk& c, std::uint32_t x) { return end ? c.atEnd < x : c.atEnd <= x; });
        if (it == chunks_.end()) return std::string_view::npos;
        const TChunk& c = *it;
        if (at == c.at) return c.begin;
        if (at == c.atEnd) return c.end;
        const std::string_view want = std::string_view(text_).substr(c.at, at - c.at);
        const std::string_view bytes = page_.substr(c.begin, c.end - c.begin);
        if (bytes == std::string_view(text_).substr(c.at, c.atEnd - c.at))
            return c.begin + want.size();
        const std::string_view rest = std::string_view(text_).substr(at, c.atEnd - at);
        auto splitsAt = [&](std::size_t p) {
            return DecodeText(bytes.substr(0, p), encoding_, TReferences::Text) == want &&
                   DecodeText(bytes.substr(p), encoding_, TReferences::Text) == rest;
        };
        // The decoded length grows with the bytes but where a reference is cut: look near where
        // it reaches the text's length.
        std::size_t lo = 1, hi = bytes.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (DecodeText(bytes.substr(0, mid), encoding_, TReferences::Text).size() < want.size())
                lo = mid + 1;
            else
                hi = mid;
        }
        constexpr std::size_t kNear = 40;
        const std::size_t from = lo > kNear ? lo - kNear : 1;
        for (std::size_t p = from; p < bytes.size() && p < lo + kNear; ++p)
            if (splitsAt(p)) return c.begin + p;
        // Nowhere near: the flow keeps its runs rather than search the whole word.
        return std::string_view::npos;
    }

    void EndFlow() {
        if (carried_ >= 0) return;
        if (!items_.empty()) {
            bool any = false;
            for (char c : text_)
                if (c != ' ') {
                    any = true;
                    break;
                }
            if (!any || !Sentences()) AsRuns();
        }
        Reset();
    }

    void Reset() {
        items_.clear();
        chunks_.clear();
        captured_.clear();
        notes_.clear();
        breaks_.clear();
        text_.clear();
        afterObject_ = false;
    }

    bool IsBreakBlank(std::uint32_t at) const {
        return std::binary_search(breaks_.begin(), breaks_.end(), at);
    }

    // The flow cut into sentences and handed on; false where it cannot be (its elements do not
    // nest), and nothing was handed on.
    bool Sentences() {
        const int n = static_cast<int>(items_.size());
        // Pairs by name, as the elements nest.
        std::vector<int>& open = open_;
        open.clear();
        for (int i = 0; i < n; ++i) {
            TItem& item = items_[i];
            if (item.kind == TItem::Open) {
                open.push_back(i);
            } else if (item.kind == TItem::Close) {
                for (std::size_t k = open.size(); k-- > 0;)
                    if (items_[open[k]].name == item.name) {
                        item.partner = open[k];
                        items_[open[k]].partner = i;
                        open.resize(k);
                        break;
                    }
            }
        }
        // Where sentences start.
        const std::uint32_t size = static_cast<std::uint32_t>(text_.size());
        std::vector<std::uint32_t>& starts = starts_;
        starts.clear();
        if (!MayEndSentence(text_)) {
            starts.push_back(0);
        } else {
            UErrorCode status = U_ZERO_ERROR;
            ut_ =
                utext_openUTF8(ut_, text_.data(), static_cast<std::int64_t>(text_.size()), &status);
            if (U_FAILURE(status)) return false;
            const TBreaker* breaker = breakers_.For(lang_);
            if (!breaker) return false;
            icu::BreakIterator* bi = breaker->iterator.get();
            bi->setText(ut_, status);
            if (U_FAILURE(status)) return false;
            for (std::int32_t p = bi->first(); p != icu::BreakIterator::DONE; p = bi->next())
                if (static_cast<std::uint32_t>(p) < size &&
                    (p == 0 || !breaker->abbreviations->HoldsBreak(text_, p)))
                    starts.push_back(static_cast<std::uint32_t>(p));
        }
        if (starts.empty() || starts[0] != 0) starts.insert(starts.begin(), 0);
        const int m = static_cast<int>(starts.size());
        auto sentenceOf = [&](std::uint32_t at, bool close) {
            auto it = close ? std::lower_bound(starts.begin(), starts.end(), at)
                            : std::upper_bound(starts.begin(), starts.end(), at);
            return std::max(0, static_cast<int>(it - starts.begin()) - 1);
        };
        auto sentenceEnd = [&](int s) { return s + 1 < m ? starts[s + 1] : size; };
        // Text of the flow [a, b) that is not blank.
        auto inked = [&](std::uint32_t a, std::uint32_t b) {
            for (std::uint32_t k = a; k < b; ++k)
                if (text_[k] != ' ') return true;
            return false;
        };
        // A pair that does not wrap whole sentences joins those it touches. Joining moves the
        // edges a pair is judged by: one that wrapped whole sentences may cut a group made of
        // them and another, so the judgement is made again until no group grows.
        std::vector<char>& joins = joins_;  // joins[s]: sentence s goes on into s + 1
        joins.assign(m, 0);
        std::vector<int>& first = groupFirst_;  // the first sentence of each sentence's group
        std::vector<int>& last = groupLast_;    // the last sentence of each sentence's group
        for (bool grew = true; grew;) {
            grew = false;
            first.resize(m);
            last.resize(m);
            for (int s = 0; s < m; ++s) first[s] = s > 0 && joins[s - 1] ? first[s - 1] : s;
            for (int s = m; s-- > 0;) last[s] = s + 1 < m && joins[s] ? last[s + 1] : s;
            for (int i = 0; i < n; ++i) {
                const TItem& item = items_[i];
                if (item.kind != TItem::Open && item.kind != TItem::Close) continue;
                if (item.kind == TItem::Close && item.partner >= 0) continue;
                const int so = item.kind == TItem::Open ? sentenceOf(item.at, false) : 0;
                const std::uint32_t closeAt = item.kind == TItem::Close ? item.at
                                              : item.partner >= 0       ? items_[item.partner].at
                                                                        : size;
                const int sc = item.kind == TItem::Close ? sentenceOf(item.at, true)
                               : item.partner >= 0       ? sentenceOf(closeAt, true)
                                                         : m - 1;
                const std::uint32_t openAt = item.kind == TItem::Open ? item.at : 0;
                const bool wraps =
                    !inked(starts[first[so]], openAt) && !inked(closeAt, sentenceEnd(last[sc]));
                if (wraps) continue;
                for (int s = so; s < sc; ++s)
                    if (!joins[s]) joins[s] = 1, grew = true;
            }
        }
        // The groups of sentences, each one phrase.
        struct TOut {
            std::uint32_t key;
            int order;
            TTextItem item;
            TPhraseSpan span;
            TPlaceholders placeholders;
        };
        std::vector<TOut> outs;
        std::vector<char>& inside = inside_;
        inside.assign(n, 0);
        std::vector<int>& numbers = numbers_;  // a paired placeholder's number, by its start tag
        numbers.assign(n, 0);
        int order = 0;
        for (int s = 0; s < m;) {
            int e = s;
            while (e + 1 < m && joins[e]) ++e;
            const std::uint32_t gs = starts[s], ge = sentenceEnd(e);
            s = e + 1;
            std::uint32_t f = gs, l = ge;
            while (f < l && (text_[f] == ' ' || IsBreakBlank(f))) ++f;
            while (l > f && (text_[l - 1] == ' ' || IsBreakBlank(l - 1))) --l;
            if (f == l) continue;
            // Nothing but non-breaking spaces holds a cell or a line open: no sentence.
            if (OnlyLayout(std::string_view(text_).substr(f, l - f))) continue;
            // The items that stand in the group's text, [lo, hi): no other can be inside it.
            const int lo = static_cast<int>(
                std::lower_bound(items_.begin(), items_.end(), gs,
                                 [](const TItem& it, std::uint32_t x) { return it.at < x; }) -
                items_.begin());
            const int hi = static_cast<int>(
                std::upper_bound(items_.begin(), items_.end(), ge,
                                 [](std::uint32_t x, const TItem& it) { return x < it.at; }) -
                items_.begin());
            // Which tags stand inside the sentence.
            auto within = [&](std::uint32_t at) { return at > f && at < l; };
            std::vector<int>& tags = tags_;
            tags.clear();
            for (int i = lo; i < hi; ++i) {
                const TItem& item = items_[i];
                if (item.kind == TItem::Text) continue;
                bool in;
                if (item.kind == TItem::Open || item.kind == TItem::Close) {
                    const int o = item.kind == TItem::Open ? i : item.partner;
                    const int c = item.kind == TItem::Close ? i : item.partner;
                    const std::int64_t oa = o >= 0 ? items_[o].at : -1;
                    const std::int64_t ca = c >= 0 ? items_[c].at : std::int64_t(size) + 1;
                    const bool outside = (oa <= f && ca >= l) || (ca <= f) || (oa >= l);
                    in = !outside;
                } else {
                    in = within(item.at);
                }
                if (in) tags.push_back(i);
            }
            std::size_t begin = PageAt(f, false), end = PageAt(l, true);
            if (begin == std::string_view::npos || end == std::string_view::npos) return false;
            for (int i : tags) {
                begin = std::min<std::size_t>(begin, items_[i].begin);
                end = std::max<std::size_t>(end, items_[i].end);
            }
            // Whatever lies inside the span is the sentence's, and must be the sentence's whole.
            std::vector<int>& members = members_;
            for (bool grew = true; grew;) {
                grew = false;
                members.clear();
                for (int i = lo; i < hi; ++i) {
                    const TItem& item = items_[i];
                    if (item.end <= begin || item.begin >= end) continue;
                    if (item.kind == TItem::Text) {
                        members.push_back(i);
                        continue;
                    }
                    if (item.begin < begin || item.end > end) return false;
                    members.push_back(i);
                    if ((item.kind == TItem::Open || item.kind == TItem::Close) &&
                        item.partner >= 0) {
                        const TItem& p = items_[item.partner];
                        if (p.begin < begin || p.end > end) {
                            begin = std::min<std::size_t>(begin, p.begin);
                            end = std::max<std::size_t>(end, p.end);
                            grew = true;
                        }
                    }
                }
            }
            // A '<' or '&' of text just before, which is not the sentence's (an svg's, before an
            // element that leaves the svg), would join with what a new text writes first: a tag
            // or a reference, where the page has neither. That flow keeps its runs.
            if (begin > 0 && (page_[begin - 1] == '<' || page_[begin - 1] == '&')) return false;
            for (int i : members) {
                if (items_[i].kind == TItem::Text) continue;
                if (inside[i]) return false;  // another sentence has it
                inside[i] = 1;
            }
            // The sentence's text: the flow's text from f to l (as far as the span reaches) with
            // its placeholders.
            TOut out;
            out.key = static_cast<std::uint32_t>(begin);
            out.order = order++;
            std::string text, literal;
            int next = 1;
            std::uint32_t at = f;
            auto take = [&](std::uint32_t upto) {
                upto = std::min(upto, l);
                if (at >= upto) return;
                auto br = std::lower_bound(breaks_.begin(), breaks_.end(), at);
                for (; br != breaks_.end() && *br < upto; ++br) {
                    literal.append(text_, at, *br - at);
                    at = *br + 1;
                }
                literal.append(text_, at, upto - at);
                at = upto;
            };
            for (int i : members) {
                TItem& item = items_[i];
                if (item.kind == TItem::Text) continue;
                take(item.at);
                AppendSentenceLiteral(text, literal, true);
                literal.clear();
                std::string letters;
                for (char c : item.name)
                    if (IsLower(c)) letters += c;
                if (letters.empty()) letters = "x";
                const bool paired =
                    item.partner >= 0 && item.kind != TItem::Void && item.kind != TItem::Carried;
                if (paired && item.kind == TItem::Close) {
                    text += "</" + letters + std::to_string(numbers[item.partner]) + ">";
                    continue;
                }
                numbers[i] = next++;
                TPlaceholder p;
                p.Name = letters + std::to_string(numbers[i]);
                p.Paired = paired;
                p.Begin = item.begin;
                p.End = item.end;
                if (paired) {
                    p.CloseBegin = items_[item.partner].begin;
                    p.CloseEnd = items_[item.partner].end;
                }
                text += paired ? "<" + p.Name + ">" : "<" + p.Name + "/>";
                out.placeholders.push_back(std::move(p));
            }
            take(l);
            AppendSentenceLiteral(text, literal, false);
            out.item = TTextItem(0, std::move(text));
            out.span = {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end),
                        static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end),
                        TSource::Sentence};
            // The notes of its texts are its own: a translator of the sentence needs each of
            // them, once.
            for (const auto& [k, raw] : notes_) {
                if (items_[k].begin >= end || items_[k].end <= begin) continue;
                std::string note = NoteText(raw, encoding_);
                std::string& notes = out.item.Note;
                if (note.empty() || notes == note || notes.starts_with(note + "; ") ||
                    notes.find("; " + note) != std::string::npos)
                    continue;
                notes += notes.empty() ? note : "; " + note;
            }
            const auto first =
                std::lower_bound(captured_.begin(), captured_.end(), lo,
                                 [](const TCaptured& c, int x) { return c.owner < x; });
            outs.push_back(std::move(out));
            // The alt and content phrases of its tags follow it.
            for (auto ci = first; ci != captured_.end() && ci->owner < hi; ++ci) {
                TCaptured& c = *ci;
                if (c.owner < 0 || items_[c.owner].kind == TItem::Text) continue;
                if (c.span.Begin < begin || c.span.End > end) continue;
                if (items_[c.owner].kind == TItem::Carried) continue;
                TOut nested;
                nested.key = static_cast<std::uint32_t>(begin);
                nested.order = order++;
                nested.item = c.item;  // kept for a flow read as runs after all
                nested.span = c.span;
                outs.push_back(std::move(nested));
            }
        }
        // What stands outside every sentence: the tags' own phrases, and those inside carried
        // elements that no sentence holds.
        for (TCaptured& c : captured_) {
            if (c.owner < 0 || items_[c.owner].kind == TItem::Text) continue;
            if (inside[c.owner]) continue;
            TOut o;
            o.key = c.span.Begin;
            o.order = order++;
            o.item = std::move(c.item);
            o.span = c.span;
            outs.push_back(std::move(o));
        }
        std::stable_sort(outs.begin(), outs.end(), [](const TOut& a, const TOut& b) {
            return a.key != b.key ? a.key < b.key : a.order < b.order;
        });
        for (TOut& o : outs) Emit(std::move(o.item), o.span, std::move(o.placeholders));
        return true;
    }

    void Emit(TTextItem&& item, const TPhraseSpan& span, TPlaceholders&& placeholders) {
        item.Number = count_++;
        sink_(std::move(item), span, std::move(placeholders));
    }

    std::string_view page_;
    const TEncodingInfo& encoding_;
    const TSentenceSink& sink_;
    TPhraseSink capture_;
    std::unique_ptr<TRunScanner> runs_;
    int owner_ = -1;
    std::uint32_t count_ = 0;
    std::size_t last_ = 0;

    std::vector<TItem> items_;
    std::vector<TChunk> chunks_;
    std::vector<TCaptured> captured_;
    // The notes of the flow's texts that have one, as written: (item, note).
    std::vector<std::pair<int, std::string_view>> notes_;
    std::vector<std::uint32_t> breaks_;  // blanks of the flow's text that line breaks gave
    std::string text_;
    std::string lang_;
    bool afterObject_ = false;  // the flow's text ends at an image or a carried element

    int carried_ = -1;
    bool carriedForeign_ = false;
    std::vector<std::string> carriedOpen_;

    std::vector<std::pair<std::string, std::string>> langs_;
    TBreakers breakers_;
    UText* ut_ = nullptr;
    // Room for the work on one flow, kept from flow to flow.
    std::vector<int> open_, tags_, members_, numbers_;
    std::vector<std::uint32_t> starts_;
    std::vector<char> joins_, inside_;
    std::vector<int> groupFirst_, groupLast_;
};

}  // namespace

void ExtractSentences(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                      const TSentenceSink& sink, const TProgress& progress) {
    if (!HasAny(tags, TTags::PlainText)) {
        ExtractPhrases(
            page, tags, encoding,
            [&](TTextItem&& item, const TPhraseSpan& span) { sink(std::move(item), span, {}); },
            progress);
        return;
    }
    TSentenceScanner scanner(page, tags, encoding, sink);
    Tokenize(page, scanner, progress);
    scanner.Finish();
}

#endif

}  // namespace quillfen
