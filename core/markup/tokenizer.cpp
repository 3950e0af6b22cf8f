#include "core/markup/tokenizer.h"

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/text/ascii.h"

namespace quillfen {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (name == n) return true;
    return false;
}

// "script" at p, ended by what ends a tag's name: the name of a script's start or end tag.
bool ScriptNameAt(std::string_view page, std::size_t p) {
    if (p + 6 >= page.size() || !EqualsNoCase(page.substr(p, 6), "script")) return false;
    const char c = page[p + 6];
    return IsHtmlSpace(c) || c == '/' || c == '>';
}

// What the tokenizer needs to know of an HTML element, by its name.
enum TRole : std::uint32_t {
    kVoid = 1 << 0,       // no content, no end tag
    kSpecial = 1 << 1,    // a stray end tag stops looking for its element here
    kInScope = 1 << 2,    // its end tag looks for it in scope, passing other special elements
    kScopeEdge = 1 << 3,  // ends that scope
    kBreakout = 1 << 4,   // its start tag ends svg and math content
    kRawText = 1 << 5,    // style, xmp, iframe, noembed, noframes: text up to the end tag
    kRcdata = 1 << 6,     // title, textarea: text with references up to the end tag
    kScript = 1 << 7,
    kPlaintext = 1 << 8,
    kLines = 1 << 9,    // pre, listing: text in lines
    kForeign = 1 << 10  // svg, math
};

constexpr std::uint64_t Hash(std::string_view lower) {
    std::uint64_t h = 14695981039346656037u;
    for (char c : lower) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return h;
}

// The hash of a name as written, as if in lower case.
std::uint64_t HashNoCase(std::string_view name) {
    std::uint64_t h = 14695981039346656037u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(LowerAZ(c))) * 1099511628211u;
    return h;
}

// The roles of the names that have any, found by their hashes.
class TRoleTable {
  public:
    TRoleTable() {
        auto add = [&](std::uint32_t role, std::initializer_list<std::string_view> names) {
            for (std::string_view name : names) Slot(Hash(name)).second |= role;
        };
        add(kVoid,
            {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image",
             "img", "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
        add(kSpecial,
            {"address", "applet",     "area",     "article",    "aside",     "base",     "basefont",
             "bgsound", "blockquote", "body",     "br",         "button",    "caption",  "center",
             "col",     "colgroup",   "dd",       "details",    "dir",       "div",      "dl",
             "dt",      "embed",      "fieldset", "figcaption", "figure",    "footer",   "form",
             "frame",   "frameset",   "h1",       "h2",         "h3",        "h4",       "h5",
             "h6",      "head",       "header",   "hgroup",     "hr",        "html",     "iframe",
             "img",     "input",      "keygen",   "li",         "link",      "listing",  "main",
             "marquee", "menu",       "meta",     "nav",        "noembed",   "noframes", "noscript",
             "object",  "ol",         "p",        "param",      "plaintext", "pre",      "script",
             "search",  "section",    "select",   "source",     "style",     "summary",  "table",
             "tbody",   "td",         "template", "textarea",   "tfoot",     "th",       "thead",
             "title",   "tr",         "track",    "ul",         "wbr",       "xmp"});
        add(kInScope,
            {"address", "applet",   "article",    "aside",  "blockquote", "body",    "button",
             "center",  "dd",       "details",    "dialog", "dir",        "div",     "dl",
             "dt",      "fieldset", "figcaption", "figure", "footer",     "form",    "h1",
             "h2",      "h3",       "h4",         "h5",     "h6",         "header",  "hgroup",
             "html",    "li",       "listing",    "main",   "marquee",    "menu",    "nav",
             "object",  "ol",       "p",          "pre",    "search",     "section", "summary",
             "ul"});
        add(kScopeEdge,
            {"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"});
        add(kBreakout,
            {"b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
             "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
             "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
             "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
             "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"});
        add(kRawText, {"style", "xmp", "iframe", "noembed", "noframes"});
        add(kRcdata, {"title", "textarea"});
        add(kScript, {"script"});
        add(kPlaintext, {"plaintext"});
        add(kLines, {"pre", "listing"});
        add(kForeign, {"svg", "math"});
    }

    std::uint32_t Roles(std::uint64_t hash) const {
        for (std::size_t i = hash % kSlots;; i = (i + 1) % kSlots) {
            if (slots_[i].first == hash) return slots_[i].second;
            if (slots_[i].first == 0) return 0;
        }
    }

  private:
    static constexpr std::size_t kSlots = 512;

    std::pair<std::uint64_t, std::uint32_t>& Slot(std::uint64_t hash) {
        std::size_t i = hash % kSlots;
        while (slots_[i].first != 0 && slots_[i].first != hash) i = (i + 1) % kSlots;
        slots_[i].first = hash;
        return slots_[i];
    }

    std::array<std::pair<std::uint64_t, std::uint32_t>, kSlots> slots_{};
};

// An element's name as the tokenizer compares it: by its hash, with its roles.
struct TName {
    std::uint64_t hash = 0;
    std::uint32_t roles = 0;
};

TName NameOf(std::string_view name) {
    static const TRoleTable table;
    const std::uint64_t hash = HashNoCase(name);
    return {hash, table.Roles(hash)};
}

// Whether an element stops an end tag looking for its own further out.
bool Stops(const TName& end, const TName& element) {
    if (!(end.roles & kInScope)) return element.roles & kSpecial;
    return (element.roles & kScopeEdge) ||
           (end.hash == Hash("li") && (element.hash == Hash("ol") || element.hash == Hash("ul"))) ||
           (end.hash == Hash("p") && element.hash == Hash("button"));
}

// A font start tag ends svg and math content only when it says how text looks.
bool IsPresentationalFont(std::string_view tagText) {
    bool presentational = false;
    ForEachAttribute(tagText, [&](const TAttribute& a) {
        presentational = EqualsNoCase(a.name, "color") || EqualsNoCase(a.name, "face") ||
                         EqualsNoCase(a.name, "size");
        return !presentational;
    });
    return presentational;
}

// Whether a start tag ends in "/>" that marks it self-closing: a '/' that an unquoted value
// reaches to is the value's own.
bool IsSelfClosing(std::string_view tagText) {
    if (tagText.back() != '/') return false;
    bool own = false;
    ForEachAttribute(tagText, [&](const TAttribute& a) {
        own = a.hasValue && a.quote == TValueQuote::None &&
              a.valueAt + a.value.size() == tagText.size();
        return true;
    });
    return !own;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAZ(c);
    return out;
}

// An element open inside svg or math content.
struct TOpen {
    enum TKind : std::uint8_t {
        Html,       // an HTML element inside an integration point
        Foreign,    // an svg or math element
        HtmlPoint,  // svg's foreignObject, desc and title, an annotation-xml of HTML
        TextPoint,  // math's mi, mo, mn, ms and mtext
    };
    std::string name;  // in lower case
    TKind kind = Foreign;
    bool svg = true;      // of svg, else of math (foreign kinds)
    bool hidden = false;  // a script or style: its text is no text shown
    TName html;           // of an HTML element
};

class TTokenizer {
  public:
    TTokenizer(std::string_view page, TTokenSink& sink, const TProgress& progress)
        : page_(page), n_(page.size()), sink_(sink), progress_(progress) {}

    void Run() {
        std::size_t pos = 0, nextReport = kReportStep;
        while (pos < n_ && !sink_.stop) {
            if (progress_ && pos >= nextReport) {
                progress_(pos, n_);
                nextReport = pos + kReportStep;
            }
            const void* hit = std::memchr(page_.data() + pos, '<', n_ - pos);
            if (!hit) break;
            const std::size_t lt = static_cast<const char*>(hit) - page_.data();
            // A '<' that ends the page is text, and so is one before anything that starts no
            // markup: "x < y" is one text.
            if (lt + 1 >= n_) break;
            const char c = page_[lt + 1];
            if (c == '!') {
                // The text in front ends here, before a CDATA section's own text.
                Flush(lt);
                pos = Skip(lt, Declaration(lt));
            } else if (c == '?') {
                pos = Skip(lt, AfterGt(lt + 2));
            } else if (c == '/') {
                if (lt + 2 >= n_) break;
                const char d = page_[lt + 2];
                if (d == '>')
                    pos = Skip(lt, lt + 3);  // "</>" is nothing at all
                else if (!IsAsciiLetter(d))
                    pos = Skip(lt, AfterGt(lt + 2));  // "</ x>" is a comment
                else
                    pos = TagAt(lt);
            } else if (IsAsciiLetter(c)) {
                pos = TagAt(lt);
            } else {
                pos = lt + 1;
            }
        }
        if (sink_.stop) return;
        Flush(n_);
        if (progress_) progress_(n_, n_);
    }

  private:
    static constexpr std::size_t kReportStep = 1 << 20;
    static constexpr std::size_t kLookDepth = 512;

    // The text run before markup at lt ends there; text goes on at `to`.
    std::size_t Skip(std::size_t lt, std::size_t to) {
        Flush(lt);
        run_ = to;
        return to;
    }

    void Flush(std::size_t to) {
        if (run_ < to && hidden_ == 0)
            sink_.Text(run_, to, pre_ > 0 ? TTextMode::Lines : TTextMode::Flow);
        run_ = to;
    }

    // Behind the first '>' from `from` on: where a doctype or a bogus comment ends.
    std::size_t AfterGt(std::size_t from) const {
        const std::size_t gt = page_.find('>', from);
        return gt == npos ? n_ : gt + 1;
    }

    // "<!" at lt: a comment, a doctype, a CDATA section in svg or math, or a bogus comment.
    std::size_t Declaration(std::size_t lt) {
        if (page_.compare(lt + 2, 2, "--") == 0) return CommentEnd(lt);
        if (InForeign() && page_.compare(lt + 2, 7, "[CDATA[") == 0) {
            // Text, as written: a browser reads no reference and no markup in it. What svg's
            // scripts and styles hold shows nothing.
            const std::size_t close = page_.find("]]>", lt + 9);
            const std::size_t end = close == npos ? n_ : close;
            if (lt + 9 < end && hidden_ == 0) sink_.Text(lt + 9, end, TTextMode::Cdata);
            sink_.Raw(lt + 9, end);
            return close == npos ? n_ : close + 3;
        }
        return AfterGt(lt + 2);
    }

    // Behind the comment whose "<!--" is at lt: its first "-->" (the opening dashes count, so
    // "<!-->" and "<!--->" are whole comments) or "--!>" (not sharing the opening dashes).
    std::size_t CommentEnd(std::size_t lt) const {
        for (std::size_t p = lt + 2;; ++p) {
            p = page_.find("--", p);
            if (p == npos || p + 2 >= n_) return n_;
            if (page_[p + 2] == '>') return p + 3;
            if (p >= lt + 4 && page_[p + 2] == '!' && p + 3 < n_ && page_[p + 3] == '>')
                return p + 4;
        }
    }

    bool InForeign() const { return !open_.empty() && open_.back().kind != TOpen::Html; }

    std::size_t TagAt(std::size_t lt) {
        std::size_t nameEnd = 0;
        const TTagEnd end = ReadTag(page_, lt, attributes_, nameEnd);
        Flush(lt);
        if (end.kind == TEnd::Unclosed) {
            // A tag that never closes stays markup, to the end of the page.
            run_ = n_;
            return n_;
        }
        TTagToken tag;
        tag.lt = lt;
        tag.gt = end.at;
        tag.text = page_.substr(lt + 1, end.at - lt - 1);
        tag.end = tag.text[0] == '/';
        if (tag.end) {
            std::size_t k = 1;
            while (k < tag.text.size() && !IsHtmlSpace(tag.text[k]) && tag.text[k] != '/') ++k;
            tag.name = tag.text.substr(1, k - 1);
        } else {
            tag.name = tag.text.substr(0, nameEnd);
            tag.attributes = &attributes_;
        }
        run_ = end.at + 1;
        std::size_t next;
        if (lt == rawEnd_) {
            // The end tag of raw text closes its element, whatever is open around it.
            Emit(tag);
            next = run_;
        } else {
            next = tag.end ? EndTag(tag) : StartTag(tag);
        }
        if (Open() < sink_.closeWatch) sink_.Closed(Open());
        return next;
    }

    // Elements open: those of html_ and open_, and those forgotten.
    std::size_t Open() const { return openCount_; }

    void Emit(TTagToken& tag, bool opens = false) {
        tag.hidden = hidden_ > 0;
        tag.open = Open();
        tag.opens = opens;
        sink_.Tag(tag);
    }

    std::size_t StartTag(TTagToken& tag) {
        const TName info = NameOf(tag.name);
        if (!open_.empty()) {
            const std::string name = Lower(tag.name);
            if (ForeignStart(name)) {
                if ((info.roles & kBreakout) ||
                    (name == "font" && IsPresentationalFont(tag.text))) {
                    while (!open_.empty() && open_.back().kind == TOpen::Foreign) Pop();
                } else {
                    tag.html = false;
                    const bool opens = !IsSelfClosing(tag.text);
                    Emit(tag, opens);
                    if (opens) PushForeign(name, tag.text, open_.back().svg);
                    return run_;
                }
            }
        }
        const std::uint32_t roles = info.roles;
        const bool opens = (roles & kForeign)
                               ? !IsSelfClosing(tag.text)
                               : !(roles & (kScript | kRawText | kRcdata | kPlaintext | kVoid));
        Emit(tag, opens);
        const std::size_t pos = run_;
        if (roles & kForeign) {
            const std::string name = Lower(tag.name);
            if (opens) PushForeign(name, tag.text, name == "svg");
        } else if (roles & kScript) {
            return Raw(pos, FindScriptEnd(page_, pos));
        } else if (roles & kRawText) {
            return Raw(pos, FindEndTag(page_, pos, Lower(tag.name)));
        } else if (roles & kRcdata) {
            const std::string name = Lower(tag.name);
            const std::size_t close = FindEndTag(page_, pos, name);
            const std::size_t end = close == npos ? n_ : close;
            if (pos < end && hidden_ == 0)
                sink_.Text(pos, end, name == "title" ? TTextMode::Flow : TTextMode::Lines);
            return Raw(pos, close);
        } else if (roles & kPlaintext) {
            return Raw(pos, npos);
        } else {
            if (roles & kLines) ++pre_;
            if (!(roles & kVoid)) {
                if (open_.empty()) {
                    // Elements deeper than an end tag looks are forgotten.
                    // (They count as open still.)
                    if (html_.size() >= 2 * kLookDepth)
                        html_.erase(html_.begin(), html_.begin() + kLookDepth);
                    html_.push_back(info);
                    ++openCount_;
                } else {
                    open_.push_back({Lower(tag.name), TOpen::Html, false, false, info});
                    ++openCount_;
                }
            }
        }
        return pos;
    }

    // Whether a start tag is read by the rules of svg and math rather than those of HTML.
    bool ForeignStart(std::string_view name) const {
        if (open_.empty()) return false;
        const TOpen& top = open_.back();
        switch (top.kind) {
            case TOpen::Foreign:
                return !(top.name == "annotation-xml" && name == "svg");
            case TOpen::TextPoint:
                return name == "mglyph" || name == "malignmark";
            default:
                return false;
        }
    }

    void PushForeign(const std::string& name, std::string_view tagText, bool svg) {
        TOpen e{name, TOpen::Foreign, svg, false, {}};
        if (svg && (name == "foreignobject" || name == "desc" || name == "title")) {
            e.kind = TOpen::HtmlPoint;
        } else if (!svg && IsOneOf(name, {"mi", "mo", "mn", "ms", "mtext"})) {
            e.kind = TOpen::TextPoint;
        } else if (!svg && name == "annotation-xml") {
            ForEachAttribute(tagText, [&](const TAttribute& a) {
                if (!EqualsNoCase(a.name, "encoding")) return true;
                if (EqualsNoCase(a.value, "text/html") ||
                    EqualsNoCase(a.value, "application/xhtml+xml"))
                    e.kind = TOpen::HtmlPoint;
                return false;
            });
        }
        e.hidden = name == "script" || name == "style";
        if (e.hidden) ++hidden_;
        open_.push_back(std::move(e));
        ++openCount_;
    }

    void Pop() {
        if (open_.back().hidden) --hidden_;
        open_.pop_back();
        --openCount_;
    }

    void PopTo(std::size_t i) {
        while (open_.size() > i) Pop();
    }

    std::size_t EndTag(TTagToken& tag) {
        const TName info = NameOf(tag.name);
        if (InForeign()) {
            const std::string name = Lower(tag.name);
            if (name == "br" || name == "p") {
                while (!open_.empty() && open_.back().kind == TOpen::Foreign) Pop();
            } else {
                // The svg or math element of that name closes, unless an HTML element lies
                // between: then HTML's rules read the end tag.
                for (std::size_t i = open_.size(); i-- > 0;) {
                    if (open_[i].kind != TOpen::Html && open_[i].name == name) {
                        tag.html = false;
                        Emit(tag);
                        PopTo(i);
                        return run_;
                    }
                    if (i == 0 || open_[i - 1].kind == TOpen::Html) break;
                }
            }
        }
        Emit(tag);
        if ((info.roles & kLines) && pre_ > 0) --pre_;
        if (!open_.empty()) {
            HtmlEndTag(info);
        } else if (const std::size_t i = HtmlMatch(info, 0); i != npos) {
            openCount_ -= html_.size() - i;
            html_.resize(i);
        }
        return run_;
    }

    // An HTML end tag inside svg or math content: it closes the HTML element of its name, unless
    // an element that such an end tag cannot pass lies between; if that element is open around
    // the svg or math element, that closes too.
    void HtmlEndTag(const TName& end) {
        for (std::size_t i = open_.size(); i-- > 0;) {
            const TOpen& e = open_[i];
            if (e.kind == TOpen::Html && e.html.hash == end.hash) {
                PopTo(i);
                return;
            }
            const bool stops = e.kind == TOpen::Html
                                   ? Stops(end, e.html)
                                   : e.kind != TOpen::Foreign || e.name == "annotation-xml";
            if (stops) return;
        }
        if (const std::size_t i = HtmlMatch(end, open_.size()); i != npos) {
            PopTo(0);
            openCount_ -= html_.size() - i;
            html_.resize(i);
        }
    }

    // Where in html_ the element that an HTML end tag closes stands, npos if none: the first of
    // its name before an element it cannot pass (the look stops after a while, not to be slow on
    // pages that leave thousands of elements open). `passed`: elements already looked at.
    std::size_t HtmlMatch(const TName& end, std::size_t passed) const {
        if (!html_.empty() && html_.back().hash == end.hash) return html_.size() - 1;
        for (std::size_t i = html_.size(); i-- > 0 && passed++ < kLookDepth;) {
            if (html_[i].hash == end.hash) return i;
            if (Stops(end, html_[i])) return npos;
        }
        return npos;
    }

    // Content from `from` to the end tag at close (npos: to the end of the page), which stays
    // unread; text goes on behind it, at the end tag.
    std::size_t Raw(std::size_t from, std::size_t close) {
        const std::size_t end = close == npos ? n_ : close;
        sink_.Raw(from, end);
        run_ = end;
        rawEnd_ = close;
        return end;
    }

    std::string_view page_;
    std::size_t n_;
    TTokenSink& sink_;
    const TProgress& progress_;
    std::size_t run_ = 0;        // where the text run that markup ends started
    std::size_t rawEnd_ = npos;  // the end tag of the last raw text
    int pre_ = 0;                // pre and listing elements open
    int hidden_ = 0;             // svg and math scripts and styles open
    std::vector<TOpen> open_;
    std::vector<TName> html_;    // the HTML elements open outside svg and math, as tags tell
    TAttributeList attributes_;  // of the start tag being reported
    std::size_t openCount_ = 0;
};

}  // namespace

void Tokenize(std::string_view page, TTokenSink& sink, const TProgress& progress) {
    TTokenizer(page, sink, progress).Run();
}

std::size_t FindScriptEnd(std::string_view page, std::size_t from) {
    // The script data states: "<!--" escapes, "<script" then double-escapes until "</script",
    // "-->" returns to plain script data; "</script" ends the script except double-escaped.
    enum TState { Data, Escaped, Dash, DashDash, Double, DoubleDash, DoubleDashDash };
    const std::size_t n = page.size();
    TState s = Data;
    std::size_t i = from;
    while (i < n) {
        if (s == Data) {
            const void* hit = std::memchr(page.data() + i, '<', n - i);
            if (!hit) return npos;
            const std::size_t lt = static_cast<const char*>(hit) - page.data();
            if (lt + 1 < n && page[lt + 1] == '/' && ScriptNameAt(page, lt + 2)) return lt;
            if (page.compare(lt + 1, 3, "!--") == 0) {
                s = DashDash;
                i = lt + 4;
            } else {
                i = lt + 1;
            }
            continue;
        }
        const char c = page[i];
        const bool doubled = s >= Double;
        if (c == '<') {
            const bool slash = i + 1 < n && page[i + 1] == '/';
            if (!doubled) {
                if (slash && ScriptNameAt(page, i + 2)) return i;
                if (ScriptNameAt(page, i + 1)) {
                    s = Double;
                    i += 8;
                    continue;
                }
                s = Escaped;
            } else {
                if (slash && ScriptNameAt(page, i + 2)) {
                    s = Escaped;
                    i += 9;
                    continue;
                }
                s = Double;
            }
        } else if (c == '-') {
            s = s == Escaped                 ? Dash
                : s == Dash || s == DashDash ? DashDash
                : s == Double                ? DoubleDash
                                             : DoubleDashDash;
        } else if (c == '>' && (s == DashDash || s == DoubleDashDash)) {
            s = Data;
        } else {
            s = doubled ? Double : Escaped;
        }
        ++i;
    }
    return npos;
}

// Finds "</" name followed by whitespace, '/' or '>' from `from` on, comparing the name without
// regard to case; the position of its '<' or npos.
std::size_t FindEndTag(std::string_view page, std::size_t from, std::string_view name) {
    const std::size_t n = page.size();
    while (from < n) {
        const void* hit = std::memchr(page.data() + from, '<', n - from);
        if (!hit) return npos;
        const std::size_t lt = static_cast<const char*>(hit) - page.data();
        const std::size_t after = lt + 2 + name.size();
        if (after <= n && page[lt + 1] == '/' &&
            EqualsNoCase(page.substr(lt + 2, name.size()), name) &&
            (after == n || IsHtmlSpace(page[after]) || page[after] == '/' || page[after] == '>'))
            return lt;
        from = lt + 1;
    }
    return npos;
}

namespace {

// The end of the tag that starts at lt, read as browsers read a tag: its name, then attribute
// names and values. Only a quote that opens a value (right after '=', blanks allowed) starts a
// stretch in which '>' is text, up to the same quote however far; a '<' is part of a name or a
// value. The attributes that become phrases are read by the same rules, so a value written anew
// never moves the tag's end. An end tag's name is read as an attribute's, behind its '/'.
// What a tag's bytes mean to the reading of it.
enum : std::uint8_t { kSpace = 1, kSlash = 2, kEquals = 4, kGt = 8 };

constexpr std::array<std::uint8_t, 256> kTagClass = [] {
    std::array<std::uint8_t, 256> t{};
    for (char c : {' ', '\t', '\n', '\r', '\f'}) t[static_cast<unsigned char>(c)] = kSpace;
    t['/'] = kSlash;
    t['='] = kEquals;
    t['>'] = kGt;
    return t;
}();

template <bool kRecord>
TTagEnd ReadTagAt(std::string_view page, std::size_t lt, TAttributeList* list,
                  std::size_t* nameEnd) {
    const std::size_t n = page.size();
    const char* p = page.data();
    auto is = [p](std::size_t at, std::uint8_t what) {
        return (kTagClass[static_cast<unsigned char>(p[at])] & what) != 0;
    };
    const std::size_t base = lt + 1;  // where the tag's text starts
    std::size_t i = base;
    while (i < n && !is(i, kGt | kSpace | kSlash)) ++i;
    if constexpr (kRecord) *nameEnd = i - base;
    auto add = [&](std::size_t ns, std::size_t ne) -> TAttribute* {
        if constexpr (kRecord) {
            if (list->count == TAttributeList::kMax) {
                list->complete = false;
                return nullptr;
            }
            TAttribute& a = list->items[list->count++];
            a = TAttribute{};
            a.name = std::string_view(p + ns, ne - ns);
            return &a;
        } else {
            (void)ns;
            (void)ne;
            return nullptr;
        }
    };
    while (true) {
        while (i < n && is(i, kSpace | kSlash)) ++i;
        if (i >= n) return {TEnd::Unclosed, n};
        if (p[i] == '>') return {TEnd::Closed, i};
        // An attribute's name: its first character is part of it, whatever it is.
        const std::size_t ns = i++;
        while (i < n && !is(i, kGt | kSpace | kSlash | kEquals)) ++i;
        TAttribute* a = add(ns, i);
        std::size_t j = i;
        while (j < n && is(j, kSpace)) ++j;
        if (j >= n || p[j] != '=') {
            i = j;
            continue;
        }
        ++j;
        while (j < n && is(j, kSpace)) ++j;
        if constexpr (kRecord) {
            if (a) a->hasValue = true;
        }
        if (j < n && (p[j] == '"' || p[j] == '\'')) {
            const void* close = std::memchr(p + j + 1, p[j], n - j - 1);
            if (!close) return {TEnd::Unclosed, n};
            const std::size_t c = static_cast<const char*>(close) - p;
            if constexpr (kRecord) {
                if (a) {
                    a->quote = p[j] == '"' ? TValueQuote::Double : TValueQuote::Single;
                    a->valueAt = j + 1 - base;
                    a->value = std::string_view(p + j + 1, c - j - 1);
                }
            }
            i = c + 1;
        } else {
            const std::size_t vs = j;
            while (j < n && !is(j, kGt | kSpace)) ++j;
            if constexpr (kRecord) {
                if (a) {
                    a->valueAt = vs - base;
                    a->value = std::string_view(p + vs, j - vs);
                }
            }
            i = j;
        }
    }
}

}  // namespace

TTagEnd FindTagEnd(std::string_view page, std::size_t lt) {
    return ReadTagAt<false>(page, lt, nullptr, nullptr);
}

TTagEnd ReadTag(std::string_view page, std::size_t lt, TAttributeList& attributes,
                std::size_t& nameEnd) {
    attributes.count = 0;
    attributes.complete = true;
    return ReadTagAt<true>(page, lt, &attributes, &nameEnd);
}

}  // namespace quillfen
