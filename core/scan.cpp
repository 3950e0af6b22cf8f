#include "core/scan.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

namespace quillfen {

namespace {

char LowerAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whitespace as HTML knows it, inside tags.
bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

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

bool EqualsNoCase(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAZ(a[i]) != lower[i]) return false;
    return true;
}

std::string LowerCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAZ(c);
    return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsEdge(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsEdge(s.back())) s.remove_suffix(1);
    return s;
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

// Whether a line of a preformatted block holds nothing but blanks, tabs and non-breaking spaces.
bool OnlyLayout(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\t')
            ++i;
        else if (text.substr(i, 2) == "\xC2\xA0")
            i += 2;
        else
            return false;
    }
    return true;
}

// One attribute of a tag's text.
struct TAttribute {
    std::string_view name;
    std::string_view value;
    std::size_t valueAt = 0;
    TSource source = TSource::Unquoted;
    bool hasValue = false;
};

// Walks the attributes of a start tag's text (the text between '<' and '>') as browsers read
// them, calling visit for each; visit returns false to stop. Returns the tag's name.
template <class Visit>
std::string_view ForEachAttribute(std::string_view t, Visit visit) {
    const std::size_t n = t.size();
    if (n == 0 || !IsAlpha(t[0])) return {};
    std::size_t i = 0;
    while (i < n && !IsHtmlSpace(t[i]) && t[i] != '/') ++i;
    const std::string_view tagName = t.substr(0, i);
    while (true) {
        while (i < n && (IsHtmlSpace(t[i]) || t[i] == '/')) ++i;
        if (i >= n) break;
        TAttribute a;
        const std::size_t ns = i++;
        while (i < n && !IsHtmlSpace(t[i]) && t[i] != '/' && t[i] != '=') ++i;
        a.name = t.substr(ns, i - ns);
        std::size_t j = i;
        while (j < n && IsHtmlSpace(t[j])) ++j;
        if (j < n && t[j] == '=') {
            ++j;
            while (j < n && IsHtmlSpace(t[j])) ++j;
            a.hasValue = true;
            if (j < n && (t[j] == '"' || t[j] == '\'')) {
                const char q = t[j];
                a.source = q == '"' ? TSource::DoubleQuoted : TSource::SingleQuoted;
                const std::size_t close = t.find(q, j + 1);
                a.valueAt = j + 1;
                const std::size_t end = close == std::string_view::npos ? n : close;
                a.value = t.substr(a.valueAt, end - a.valueAt);
                i = close == std::string_view::npos ? n : close + 1;
            } else {
                a.valueAt = j;
                while (j < n && !IsHtmlSpace(t[j])) ++j;
                a.value = t.substr(a.valueAt, j - a.valueAt);
                i = j;
            }
        } else {
            i = j;
        }
        if (!visit(a)) break;
    }
    return tagName;
}

// Meta names whose content programs read: translating it changes what the page does.
bool IsMachineReadMetaName(std::string_view name) {
    const std::string n = LowerCopy(Trim(name));
    for (std::string_view exact : {"viewport", "robots", "referrer", "theme-color", "color-scheme",
                                   "format-detection", "generator", "og:url"})
        if (n == exact) return true;
    for (std::string_view prefix :
         {"og:image", "twitter:image", "msapplication-", "apple-mobile-web-app-"})
        if (StartsWith(n, prefix)) return true;
    for (std::string_view suffix : {":published_time", ":modified_time", "-verification"})
        if (EndsWith(n, suffix)) return true;
    return false;
}

bool IsUrl(std::string_view value) {
    value = Trim(value);
    if (StartsWith(value, "//")) return true;
    std::size_t i = 0;
    if (value.empty() || !IsAlpha(value[0])) return false;
    while (i < value.size() && (IsAlpha(value[i]) || (value[i] >= '0' && value[i] <= '9') ||
                                value[i] == '+' || value[i] == '.' || value[i] == '-'))
        ++i;
    return value.substr(i, 3) == "://";
}

bool IsPreformattedName(std::string_view name) {
    return EqualsNoCase(name, "pre") || EqualsNoCase(name, "listing") || EqualsNoCase(name, "xmp");
}

class TScanner {
  public:
    TScanner(std::string_view page, TTags tags, const TEncodingInfo& encoding,
             const TProgress& progress)
        : page_(page), tags_(tags), encoding_(encoding), progress_(progress) {}

    void Run() {
        const std::size_t n = page_.size();
        std::size_t pos = 0, runStart = 0;
        std::size_t nextReport = kReportStep;
        while (pos < n) {
            if (progress_ && pos >= nextReport) {
                progress_(pos, n);
                nextReport = pos + kReportStep;
            }
            const void* hit = std::memchr(page_.data() + pos, '<', n - pos);
            if (!hit) break;
            const std::size_t lt = static_cast<const char*>(hit) - page_.data();
            if (IsCommentStart(lt)) {
                Flush(runStart, lt);
                const std::size_t close = page_.find("-->", lt + 2);
                pos = runStart = close == std::string_view::npos ? n : close + 3;
                continue;
            }
            const TTagEnd end = FindTagEnd(page_, lt);
            // No quote of that kind follows in the page: one written later would close it.
            if (end.unclosed == '"')
                result.NewValueQuote = result.NewValueQuote == '\'' ? 0 : '\'';
            else if (end.unclosed == '\'' && result.NewValueQuote == '\'')
                result.NewValueQuote = 0;
            Flush(runStart, lt);
            if (end.kind == TEnd::Unclosed) {
                // A tag that never closes stays markup, to the end of the page.
                pos = runStart = n;
                break;
            }
            if (end.kind == TEnd::Interrupted) {
                pos = runStart = end.at;
                continue;
            }
            const std::string_view tag = page_.substr(lt + 1, end.at - lt - 1);
            Tag(tag, lt + 1);
            pos = runStart = end.at + 1;
            pos = runStart = AfterTag(tag, pos);
        }
        Flush(runStart, n);
        if (progress_) progress_(n, n);
    }

    TScanResult result;

  private:
    static constexpr std::size_t kReportStep = 1 << 20;

    // "<!-" and one more character on the same line open a comment. A line break right after
    // "<!-" makes a tag of it, as it always was.
    bool IsCommentStart(std::size_t lt) const {
        return lt + 3 < page_.size() && page_[lt + 1] == '!' && page_[lt + 2] == '-' &&
               page_[lt + 3] != '\n' && page_[lt + 3] != '\r';
    }

    // Where scanning goes on after the tag just read, which ended before pos: behind the content
    // of a script or style (never phrases), or behind the text of a title or textarea (text up
    // to its own end tag, whatever '<' it holds).
    std::size_t AfterTag(std::string_view tag, std::size_t pos) {
        if (tag.empty()) return pos;
        if (tag[0] == '/') {
            std::size_t k = 1;
            while (k < tag.size() && !IsHtmlSpace(tag[k]) && tag[k] != '/') ++k;
            if (IsPreformattedName(tag.substr(1, k - 1)) && preDepth_ > 0) --preDepth_;
            return pos;
        }
        if (!IsAlpha(tag[0])) return pos;
        std::size_t k = 0;
        while (k < tag.size() && !IsHtmlSpace(tag[k]) && tag[k] != '/') ++k;
        const std::string_view name = tag.substr(0, k);
        const bool script = EqualsNoCase(name, "script");
        const bool style = EqualsNoCase(name, "style");
        const bool title = EqualsNoCase(name, "title");
        const bool textarea = EqualsNoCase(name, "textarea");
        if (script || style || title || textarea) {
            std::size_t close = FindEndTag(page_, pos,
                                           script  ? "script"
                                           : style ? "style"
                                           : title ? "title"
                                                   : "textarea");
            if (close == std::string_view::npos) close = page_.size();
            if (title) Flush(pos, close);
            if (textarea) FlushLines(pos, close);
            return close;
        }
        if (IsPreformattedName(name)) ++preDepth_;
        return pos;
    }

    void Flush(std::size_t a, std::size_t b) {
        if (a >= b || !HasAny(tags_, TTags::PlainText)) return;
        if (preDepth_ > 0) {
            FlushLines(a, b);
            return;
        }
        const std::string_view run = page_.substr(a, b - a);
        if (OnlyBlanks(run)) return;
        std::string text =
            HasLineBreak(run) || a == 0 ? Gather(run, a == 0, false) : std::string(run);
        TTextItem item(static_cast<std::uint32_t>(result.Phrases.size()), std::move(text));
        if (!item.Clean(encoding_)) return;
        const auto [sb, se] = TextSpan(page_, a, b, a == 0);
        Add(std::move(item), {Offset(a), Offset(b), Offset(sb), Offset(se), TSource::Text});
    }

    // A preformatted block: one phrase per line, the line's edges and breaks left as they are.
    void FlushLines(std::size_t a, std::size_t b) {
        if (!HasAny(tags_, TTags::PlainText)) return;
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
                TTextItem item(static_cast<std::uint32_t>(result.Phrases.size()), std::move(text));
                item.Preformatted = true;
                Add(std::move(item),
                    {Offset(sb), Offset(se), Offset(sb), Offset(se), TSource::Line});
            }
            i = j + 1;
        }
    }

    void Tag(std::string_view tag, std::size_t base) {
        if (!HasAny(tags_, TTags::ImageAlt | TTags::Content)) return;
        // A tag ending in "--" closes a comment that the character rules could not see.
        if (EndsWith(tag, "--")) return;
        const TAttributeHit hit = ScanAttribute(tag, tags_);
        if (hit.value.empty()) return;
        TTextItem item(static_cast<std::uint32_t>(result.Phrases.size()),
                       Gather(hit.value, false, true));
        CleanValue(item, encoding_);
        item.IsImage = hit.kind == TKind::Image;
        item.IsContent = hit.kind == TKind::Content;
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
        result.Phrases.push_back(std::move(item));
        result.Spans.push_back(span);
    }

    static std::uint32_t Offset(std::size_t at) { return static_cast<std::uint32_t>(at); }

    std::string_view page_;
    TTags tags_;
    const TEncodingInfo& encoding_;
    const TProgress& progress_;
    int preDepth_ = 0;
};

}  // namespace

// Finds "</" name followed by whitespace, '/' or '>' from `from` on, comparing the name without
// regard to case; the position of its '<' or npos.
std::size_t FindEndTag(std::string_view page, std::size_t from, std::string_view name) {
    const std::size_t n = page.size();
    while (from < n) {
        const void* hit = std::memchr(page.data() + from, '<', n - from);
        if (!hit) return std::string_view::npos;
        const std::size_t lt = static_cast<const char*>(hit) - page.data();
        const std::size_t after = lt + 2 + name.size();
        if (after <= n && page[lt + 1] == '/' &&
            EqualsNoCase(page.substr(lt + 2, name.size()), name) &&
            (after == n || IsHtmlSpace(page[after]) || page[after] == '/' || page[after] == '>'))
            return lt;
        from = lt + 1;
    }
    return std::string_view::npos;
}

// The end of the tag that starts at lt, read as browsers read a tag: its name, then attribute
// names and values. Only a quote that opens a value (right after '=', blanks allowed) starts a
// stretch in which '>' and '<' are text; a value that never closes makes the tag end at its
// first '>' after all. The attributes that become phrases are read by the same rules, so a
// value written anew never moves the tag's end.
TTagEnd FindTagEnd(std::string_view page, std::size_t lt) {
    enum class TState { Name, Between, AttrName, AfterName, BeforeValue, Unquoted };
    const std::size_t n = page.size();
    const char* p = page.data();
    TState state = TState::Name;
    for (std::size_t i = lt + 1; i < n; ++i) {
        const char c = p[i];
        if (c == '>') return {TEnd::Closed, i};
        if (c == '<') return {TEnd::Interrupted, i};
        const bool space = IsHtmlSpace(c);
        switch (state) {
            case TState::Name:
                if (space || c == '/') state = TState::Between;
                break;
            case TState::Between:
                if (!space && c != '/') state = TState::AttrName;
                break;
            case TState::AttrName:
                if (space)
                    state = TState::AfterName;
                else if (c == '/')
                    state = TState::Between;
                else if (c == '=')
                    state = TState::BeforeValue;
                break;
            case TState::AfterName:
                if (c == '/')
                    state = TState::Between;
                else if (c == '=')
                    state = TState::BeforeValue;
                else if (!space)
                    state = TState::AttrName;
                break;
            case TState::BeforeValue:
                if (c == '"' || c == '\'') {
                    const void* close = std::memchr(p + i + 1, c, n - i - 1);
                    if (!close) {
                        // From the quote on: a '>' in an earlier quoted value stays in it, so
                        // the quote that closed that value stays in the tag too, and rewriting
                        // the text behind the tag cannot change how the tag reads.
                        for (std::size_t k = i + 1; k < n; ++k) {
                            if (p[k] == '>') return {TEnd::Closed, k, c};
                            if (p[k] == '<') return {TEnd::Interrupted, k, c};
                        }
                        return {TEnd::Unclosed, n, c};
                    }
                    i = static_cast<const char*>(close) - p;
                    state = TState::Between;
                } else if (!space) {
                    state = TState::Unquoted;
                }
                break;
            case TState::Unquoted:
                if (space) state = TState::Between;
                break;
        }
    }
    return {TEnd::Unclosed, n};
}

TAttributeHit ScanAttribute(std::string_view tag, TTags tags) {
    const bool wantAlt = HasAny(tags, TTags::ImageAlt);
    const bool wantContent = HasAny(tags, TTags::Content);
    if (!wantAlt && !wantContent) return {};
    TAttribute alt, content;
    bool haveAlt = false, haveContent = false, machineRead = false;
    const std::string_view name = ForEachAttribute(tag, [&](const TAttribute& a) {
        if (EqualsNoCase(a.name, "alt")) {
            if (!haveAlt) alt = a;
            haveAlt = true;
        } else if (EqualsNoCase(a.name, "content")) {
            if (!haveContent) content = a;
            haveContent = true;
        } else if (EqualsNoCase(a.name, "http-equiv") || EqualsNoCase(a.name, "charset")) {
            machineRead = true;
        } else if (EqualsNoCase(a.name, "name") || EqualsNoCase(a.name, "property")) {
            if (IsMachineReadMetaName(a.value)) machineRead = true;
        }
        return true;
    });
    auto hitOf = [](const TAttribute& a, TKind kind) {
        TAttributeHit hit;
        if (a.value.empty()) return hit;
        hit.kind = kind;
        hit.value = a.value;
        hit.place = a.valueAt;
        hit.source = a.source;
        return hit;
    };
    // An alt attribute decides even when it is empty: content is then not looked at.
    if (wantAlt && haveAlt) return hitOf(alt, TKind::Image);
    if (!wantContent || !haveContent) return {};
    if (machineRead && EqualsNoCase(name, "meta")) return {};
    if (IsUrl(content.value)) return {};
    return hitOf(content, TKind::Content);
}

TScanResult ExtractPhrases(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                           const TProgress& progress) {
    TScanner scanner(page, tags, encoding, progress);
    // Most phrases stand between tags: the count of '<' sizes the results once.
    const std::size_t opens = std::count(page.begin(), page.end(), '<');
    scanner.result.Phrases.reserve(opens / 2 + 1);
    scanner.result.Spans.reserve(opens / 2 + 1);
    scanner.Run();
    return std::move(scanner.result);
}

std::string OriginalText(std::string_view page, const TPhraseSpan& span,
                         const TEncodingInfo& encoding) {
    const std::string_view run = page.substr(span.RunBegin, span.RunEnd - span.RunBegin);
    if (span.Source == TSource::Line) return LineText(run, encoding);
    const bool inTag = span.Source != TSource::Text;
    TTextItem item(0, Gather(run, !inTag && span.RunBegin == 0, inTag));
    if (inTag)
        CleanValue(item, encoding);
    else
        item.Clean(encoding);
    return std::move(item.Text);
}

std::string EncodeForSpan(std::string_view text, TSource source, const TEncodingInfo& encoding,
                          TEncodeMode mode, char quote) {
    std::string s = EncodeText(text, mode);
    if (source == TSource::SingleQuoted) {
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
    return PageBytesOfText(s, encoding);
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
