#include "core/markup/scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>

#include "core/errors.h"
#include "core/text/ascii.h"
#include "core/text/utf8.h"

namespace quillfen {

namespace {

// What loading always trimmed from the starts of lines: every byte of code 32 or less.
bool IsEdge(char c) { return static_cast<unsigned char>(c) <= 32; }

// What the edges of a phrase's span leave out: the whitespace that a phrase's text never starts
// or ends with, so that the span always holds the whole text.
bool IsSpanEdge(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// An attribute value's text. A value of blanks stays a phrase, with an empty text; one of
// non-breaking spaces keeps them.
void CleanValue(TTextItem& item, const TEncodingInfo& encoding) {
    item.Clean(encoding, TReferences::Attribute);
}

bool IsBreak(char c) { return c == '\n' || c == '\r'; }

// Whether the reference at page[at] gives one whitespace character, and its length.
std::size_t SpaceReferenceAt(std::string_view page, std::size_t at, std::size_t end) {
    if (page[at] != '&') return 0;
    const TReference r = ReadReference(page.substr(at, end - at), TReferences::Text);
    const bool space =
        r.second == 0 && (r.first == ' ' || r.first == '\t' || r.first == '\n' || r.first == '\r');
    return space ? r.length : 0;
}

// [sb, se) without the references at its edges that give whitespace: a text reads them as the
// blanks around it, so they are the page's, as the blanks themselves are.
std::pair<std::size_t, std::size_t> WithoutSpaceReferences(std::string_view page, std::size_t sb,
                                                           std::size_t se) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (sb < se && page[sb] == '&') {
        const std::size_t len = SpaceReferenceAt(page, sb, se);
        if (len == 0) break;
        sb += len;
        while (sb < se && isBlank(page[sb])) ++sb;
    }
    // A reference ends in ';' or a digit; no whitespace one is longer than this, but for
    // leading zeros, which pages do not write.
    constexpr std::size_t kLongest = 12;
    while (se > sb && (page[se - 1] == ';' || (page[se - 1] >= '0' && page[se - 1] <= '9'))) {
        const std::size_t from = se - std::min(se - sb, kLongest);
        const std::size_t amp = page.substr(from, se - from).rfind('&');
        if (amp == std::string_view::npos ||
            SpaceReferenceAt(page, from + amp, se) != se - (from + amp))
            break;
        se = from + amp;
        while (se > sb && isBlank(page[se - 1])) --se;
    }
    return {sb, se};
}

// The part of the run [a, b) that a phrase's text is read from. Besides blanks and line breaks,
// reading drops the control bytes that start a line (Gather) and whole lines of them, so a new
// text must not overwrite those bytes either: they are the page's, not the phrase's.
// lineStart: the run starts a line of its own.
std::pair<std::size_t, std::size_t> TextSpan(std::string_view page, std::size_t a, std::size_t b,
                                             bool lineStart) {
    std::size_t sb = a;
    for (bool atLineStart = lineStart; sb < b; ++sb) {
        const char c = page[sb];
        if (IsBreak(c))
            atLineStart = true;
        else if (!(c == ' ' || c == '\t' || (atLineStart && IsEdge(c))))
            break;
    }
    std::size_t se = b;
    while (se > sb) {
        const char c = page[se - 1];
        if (IsSpanEdge(c)) {
            --se;
            continue;
        }
        if (!IsEdge(c)) break;
        // A control byte at a line's end goes with the line only if nothing else is on it.
        std::size_t ls = se - 1;
        while (ls > a && IsEdge(page[ls - 1]) && !IsBreak(page[ls - 1])) --ls;
        if (!(ls > a ? IsBreak(page[ls - 1]) : lineStart)) break;
        se = std::max(ls, sb);
    }
    return WithoutSpaceReferences(page, sb, se);
}

// A text run as the user reads it: every line break with the blanks and control characters that
// start the next line reads as one blank, and a blank left alone at a line's end does not carry
// over. lineStart: the run starts a line of its own. joinAlways: a break reads as a blank even
// at the run's start (inside a tag, where text stands before the run).
std::string Gather(std::string_view run, bool lineStart, bool joinAlways) {
    std::string g;
    g.reserve(run.size());
    std::size_t i = 0;
    bool atLineStart = lineStart;
    const std::size_t n = run.size();
    while (true) {
        std::size_t j = i;
        while (j < n && run[j] != '\n' && run[j] != '\r') ++j;
        std::string_view seg = run.substr(i, j - i);
        if (atLineStart) {
            if (!joinAlways && g == " ") g.clear();
            while (!seg.empty() && IsEdge(seg.front())) seg.remove_prefix(1);
            if (!seg.empty()) {
                if (!g.empty() || joinAlways) g.push_back(' ');
                g.append(seg);
            }
        } else {
            g.append(seg);
        }
        if (j >= n) break;
        i = j + ((run[j] == '\r' && j + 1 < n && run[j + 1] == '\n') ? 2 : 1);
        atLineStart = true;
    }
    return g;
}

bool HasLineBreak(std::string_view s) {
    return std::memchr(s.data(), '\n', s.size()) || std::memchr(s.data(), '\r', s.size());
}

bool OnlyBlanks(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    return true;
}

// A line of a preformatted block as text: its layout kept, but a line break that a reference
// gave is a blank (a text is one line), and the blanks at its edges are the page's.
std::string LineText(std::string_view line, const TEncodingInfo& encoding) {
    std::string text = DecodeText(line, encoding, TReferences::Text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    const std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    text.erase(text.find_last_not_of(" \t") + 1);
    text.erase(0, b);
    return text;
}

// The phrases of the text and tags the tokenizer finds.
class TScanner final : public TRunScanner {
  public:
    TScanner(std::string_view page, TTags tags, const TEncodingInfo& encoding,
             const TPhraseSink& sink)
        : page_(page), tags_(tags), encoding_(encoding), sink_(sink), attributes_(tags) {}

    void Text(std::size_t a, std::size_t b, TTextMode mode) override {
        if (rcdata_) {
            // The text of a title or textarea that says something of translation itself.
            const TLocalisation around = std::exchange(text_, *rcdata_);
            rcdata_.reset();
            Text(a, b, mode);
            text_ = around;
            return;
        }
        if (mode == TTextMode::Lines)
            FlushLines(a, b);
        else if (mode == TTextMode::Cdata)
            FlushCdata(a, b);
        else
            Flush(a, b);
    }

    bool Translating() const override { return text_.translate; }
    std::string_view RawNote() const override { return text_.note; }

    void Tag(const TTagToken& tag) override {
        rcdata_.reset();
        if (tag.end) return;
        // One look at the attributes: what they say of translation, and whether any can be a
        // phrase.
        TLocalisation own = text_;
        bool said = false, candidate = false;
        const bool values = !tag.hidden && attributes_.Any();
        ForEachAttribute(tag, [&](const TAttribute& a) {
            if (a.name.size() == 9 || a.name.size() == 12) said |= Localise(own, a);
            if (values && !candidate) candidate = attributes_.IsCandidate(a.name);
            return true;
        });
        if (said) {
            if (tag.opens) {
                marks_.push_back({tag.open + 1, own});
                closeWatch = tag.open + 1;
                text_ = own;
            } else if (EqualsNoCase(tag.name, "title") || EqualsNoCase(tag.name, "textarea")) {
                // Their text comes right after the tag, before their end tag.
                rcdata_ = own;
            }
        }
        if (candidate && own.translate)
            for (const TAttributeHit& hit : attributes_.Take(tag)) AttributePhrase(hit, tag.lt + 1);
    }

    void Closed(std::size_t open) override {
        while (!marks_.empty() && marks_.back().depth > open) marks_.pop_back();
        text_ = marks_.empty() ? TLocalisation{} : marks_.back().state;
        closeWatch = marks_.empty() ? 0 : marks_.back().depth;
    }

  private:
    // What an element says of the text inside it, for translation; inherited by what it holds.
    struct TLocalisation {
        bool translate = true;  // translate="no" switches it off, "yes" on again
        std::string_view note;  // its-loc-note, as written
    };

    // An element that says anything of translation, and how deep it stands.
    struct TMark {
        std::size_t depth;
        TLocalisation state;
    };

    // Applies what an attribute says of translation to l; whether it says anything.
    static bool Localise(TLocalisation& l, const TAttribute& a) {
        if (EqualsNoCase(a.name, "translate")) {
            // An empty value means yes; a value that is neither leaves the inherited one.
            if (a.value.empty() || EqualsNoCase(a.value, "yes"))
                l.translate = true;
            else if (EqualsNoCase(a.value, "no"))
                l.translate = false;
            return true;
        }
        if (EqualsNoCase(a.name, "its-loc-note")) {
            l.note = a.value;
            return true;
        }
        return false;
    }

    // The note of a text phrase: the value as a browser reads it, blanks collapsed.
    void AddNote(TTextItem& item) const {
        if (!text_.note.empty()) item.Note = NoteText(text_.note, encoding_);
    }

    void Flush(std::size_t a, std::size_t b) {
        if (a >= b || !text_.translate || !HasAny(tags_, KindBit(TKind::Text))) return;
        const std::string_view run = page_.substr(a, b - a);
        if (OnlyBlanks(run)) return;
        std::string text =
            HasLineBreak(run) || a == 0 ? Gather(run, a == 0, false) : std::string(run);
        TTextItem item(count_, std::move(text));
        if (!item.Clean(encoding_)) return;
        AddNote(item);
        const auto [sb, se] = TextSpan(page_, a, b, a == 0);
        Add(std::move(item), {Offset(a), Offset(b), Offset(sb), Offset(se), TSource::Text});
    }

    // A preformatted block: one phrase per line, the line's edges and breaks left as they are.
    void FlushLines(std::size_t a, std::size_t b) {
        if (!text_.translate || !HasAny(tags_, KindBit(TKind::Text))) return;
        std::size_t i = a;
        while (i < b) {
            std::size_t j = i;
            while (j < b && page_[j] != '\n' && page_[j] != '\r') ++j;
            std::size_t sb = i, se = j;
            while (sb < se && IsEdge(page_[sb])) ++sb;
            while (se > sb && IsEdge(page_[se - 1])) --se;
            std::tie(sb, se) = WithoutSpaceReferences(page_, sb, se);
            std::string text = LineText(page_.substr(sb, se - sb), encoding_);
            if (!text.empty() && !OnlyLayout(text)) {
                TTextItem item(count_, std::move(text));
                item.Preformatted = true;
                AddNote(item);
                Add(std::move(item),
                    {Offset(sb), Offset(se), Offset(sb), Offset(se), TSource::Line});
            }
            i = j + 1;
        }
    }

    // A CDATA section of svg or math: one phrase of all it holds, its lines joined and no
    // reference read. Its span is all between "<![CDATA[" and "]]>", blanks at the edges
    // included: a new text is the section's whole content, and in the template its marker
    // stands right between the two, where recombination knows it by them. A section in front of
    // the page's charset declaration whose text a browser's prescan may read as markup stays as
    // it is, as no new text with such markup may go there (MayReadAsMarkup).
    void FlushCdata(std::size_t a, std::size_t b) {
        if (!text_.translate || !HasAny(tags_, KindBit(TKind::Text))) return;
        const std::string_view run = page_.substr(a, b - a);
        if (OnlyBlanks(run)) return;
        if (MayReadAsMarkup(run)) {
            if (!declarationEnd_) declarationEnd_ = CharsetDeclarationEnd(page_);
            if (*declarationEnd_ > a) return;
        }
        TTextItem item(count_, HasLineBreak(run) ? Gather(run, false, false) : std::string(run));
        if (!item.Clean(encoding_, TReferences::None)) return;
        AddNote(item);
        Add(std::move(item), {Offset(a), Offset(b), Offset(a), Offset(b), TSource::Cdata});
    }

    void AttributePhrase(const TAttributeHit& hit, std::size_t base) {
        TTextItem item(count_, Gather(hit.value, false, true));
        CleanValue(item, encoding_);
        item.SetKind(hit.kind);
        const std::size_t a = base + hit.place, b = a + hit.value.size();
        std::size_t sb = a, se = b;
        if (hit.source != TSource::Unquoted) {
            std::tie(sb, se) = TextSpan(page_, a, b, false);
            // A value of blanks only keeps them: a new text goes in front of them.
            if (sb == se) sb = se = a;
        }
        Add(std::move(item), {Offset(a), Offset(b), Offset(sb), Offset(se), hit.source});
    }

    void Add(TTextItem&& item, const TPhraseSpan& span) {
        ++count_;
        sink_(std::move(item), span);
    }

    static std::uint32_t Offset(std::size_t at) { return static_cast<std::uint32_t>(at); }

    std::string_view page_;
    TTags tags_;
    const TEncodingInfo& encoding_;
    const TPhraseSink& sink_;
    TAttributeScanner attributes_;
    std::uint32_t count_ = 0;
    // Elements are followed only where they say something of translation: most say nothing.
    std::vector<TMark> marks_;             // innermost last
    TLocalisation text_;                   // for the text that comes now
    std::optional<TLocalisation> rcdata_;  // of a title or textarea whose text comes next
    // Where the page's charset declaration ends, once a CDATA section asks.
    std::optional<std::size_t> declarationEnd_;
};

}  // namespace

TAttributeScanner::TAttributeScanner(TTags tags) : tags_(tags) {
    for (const TKindInfo& kind : Kinds()) {
        if (kind.Attributes.empty() || !HasAny(tags, KindBit(kind.Kind))) continue;
        kinds_.push_back(&kind);
        for (std::string_view name : kind.Attributes)
            shapes_[std::min<std::size_t>(name.size(), kLongName)] |= FirstBit(name[0]);
    }
}

bool TAttributeScanner::IsCandidate(std::string_view name) const {
    if (name.empty() ||
        !(shapes_[std::min<std::size_t>(name.size(), kLongName)] & FirstBit(name[0])))
        return false;
    for (const TKindInfo* kind : kinds_)
        for (std::string_view lower : kind->Attributes)
            if (EqualsNoCase(name, lower)) return true;
    return false;
}

std::span<const TAttributeHit> TAttributeScanner::Scan(const TTagToken& tag) {
    hits_.clear();
    // Most tags have no value that could be a phrase: those without a value at all, and those
    // without an attribute of a chosen kind, are passed over before anything is kept of them.
    if (kinds_.empty() || std::memchr(tag.text.data(), '=', tag.text.size()) == nullptr) return {};
    bool candidate = false;
    ForEachAttribute(tag, [&](const TAttribute& a) {
        candidate = IsCandidate(a.name);
        return !candidate;
    });
    if (!candidate) return {};
    return Take(tag);
}

std::span<const TAttributeHit> TAttributeScanner::Take(const TTagToken& tag) {
    hits_.clear();
    attributes_.clear();
    const std::string_view name = ForEachAttribute(tag, [&](const TAttribute& a) {
        attributes_.push_back(a);
        return true;
    });
    const TTagView view{name, attributes_};
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
        const TAttribute& a = attributes_[i];
        if (a.value.empty()) continue;
        // One value is one span: the first kind whose rule takes it has it.
        bool taken = false;
        for (const TKindInfo* kind : kinds_) {
            for (std::string_view lower : kind->Attributes) {
                if (!EqualsNoCase(a.name, lower)) continue;
                // Browsers keep the first attribute of a name and drop the others.
                bool first = true;
                for (std::size_t j = 0; j < i && first; ++j)
                    first = !EqualsNoCase(attributes_[j].name, lower);
                taken = first && (!kind->Takes || kind->Takes(view, a, tags_));
                if (taken)
                    hits_.push_back({kind->Kind, a.value, a.valueAt,
                                     a.quote == TValueQuote::Double   ? TSource::DoubleQuoted
                                     : a.quote == TValueQuote::Single ? TSource::SingleQuoted
                                                                      : TSource::Unquoted});
                break;
            }
            if (taken) break;
        }
    }
    return hits_;
}

std::span<const TAttributeHit> TAttributeScanner::Scan(std::string_view tag) {
    TTagToken token;
    token.text = tag;
    return Scan(token);
}

std::unique_ptr<TRunScanner> MakeRunScanner(std::string_view page, TTags tags,
                                            const TEncodingInfo& encoding,
                                            const TPhraseSink& sink) {
    return std::make_unique<TScanner>(page, tags, encoding, sink);
}

std::string NoteText(std::string_view raw, const TEncodingInfo& encoding) {
    TTextItem note(0, std::string(raw));
    note.Clean(encoding, TReferences::Attribute);
    return std::move(note.Text);
}

void ExtractPhrases(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                    const TPhraseSink& sink, const TProgress& progress) {
    TScanner scanner(page, tags, encoding, sink);
    Tokenize(page, scanner, progress);
}

TScanResult ExtractPhrases(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                           const TProgress& progress) {
    TScanResult result;
    // Most phrases stand between tags: the count of '<' sizes the results once.
    const std::size_t opens = std::count(page.begin(), page.end(), '<');
    result.Phrases.reserve(opens / 2 + 1);
    result.Spans.reserve(opens / 2 + 1);
    ExtractPhrases(
        page, tags, encoding,
        [&](TTextItem&& item, const TPhraseSpan& span) {
            result.Phrases.push_back(std::move(item));
            result.Spans.push_back(span);
        },
        progress);
    return result;
}

std::string EncodeForSpan(std::string_view text, TSource source, const TEncodingInfo& encoding,
                          TEncodeMode mode, char quote) {
    if (source == TSource::Cdata) return CdataBytes(text, encoding, mode);
    std::string s = EncodeText(text, mode);
    if (source == TSource::SingleQuoted && s.find('\'') != std::string::npos) {
        std::string out;
        out.reserve(s.size());
        for (char c : s) {
            if (c == '\'')
                out += "&#39;";
            else
                out += c;
        }
        s = std::move(out);
    }
    // Only whitespace ends a value without quotes; an empty one would be no value.
    if (source == TSource::Unquoted &&
        (s.empty() || std::any_of(s.begin(), s.end(), [](char c) { return IsHtmlSpace(c); }))) {
        if (quote) {
            if (quote == '\'') ReplaceAll(s, "'", "&#39;");
            s = quote + s + quote;
        } else {
            std::string out;
            for (char c : s) {
                if (IsHtmlSpace(c))
                    out += "&#" + std::to_string(static_cast<int>(c)) + ";";
                else
                    out += c;
            }
            s = std::move(out);
        }
    }
    if (encoding.kind == TPageEncoding::Utf8 || IsAscii(s)) return s;
    return PageBytesOfText(s, encoding);
}

std::string CdataBytes(std::string_view text, const TEncodingInfo& encoding, TEncodeMode mode,
                       std::size_t n) {
    char32_t missing = 0;
    std::string bytes = CdataBytesOfText(text, encoding, missing);
    if (missing != 0) {
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(missing));
        throw CdataTextError(n, TCdataFault::Character, name);
    }
    // Looked for in the bytes, as the section's end is found: a character of a legacy encoding
    // may end in the byte of ']'.
    if (bytes.find("]]>") != std::string::npos) throw CdataTextError(n, TCdataFault::End);
    if (mode == TEncodeMode::References && !IsAscii(text))
        throw CdataTextError(n, TCdataFault::ReadsAsUtf8);
    return bytes;
}

bool MayReadAsMarkup(std::string_view text) {
    const std::size_t gt = text.find('>');
    return gt != std::string_view::npos && text.find('<', gt) != std::string_view::npos;
}

std::uint64_t CountWords(std::string_view s) {
    auto blankish = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!s.empty() && blankish(s.front())) s.remove_prefix(1);
    while (!s.empty() && blankish(s.back())) s.remove_suffix(1);
    if (s.empty()) return 0;
    std::uint64_t count = 0;
    // Positions are 1-based; starting at 0 means a separator in the first position never counts.
    std::size_t last = 0;
    const std::size_t len = s.size();
    for (std::size_t i = 1; i <= len; ++i) {
        const char c = s[i - 1];
        if ((c == ' ' || c == ',' || c == '.') && last != i - 1 && i != len) {
            ++count;
            last = i;
        }
    }
    return count + 1;
}

std::uint64_t TotalWords(const std::vector<TTextItem>& phrases) {
    std::uint64_t total = 0;
    for (const auto& p : phrases) total += CountWords(p.Text);
    return total;
}

}  // namespace quillfen
