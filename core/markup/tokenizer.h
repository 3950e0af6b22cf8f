#pragma once

// The page's markup as a browser's tokenizer reads it: tags, comments, doctypes, and the
// content that the element around it makes text or nothing whatever it holds (scripts, styles,
// title and textarea, xmp, iframe, noembed, noframes, plaintext, CDATA sections in svg and
// math). The scan takes its phrases from the text this reports, the preview its anchors' places.
//
// The tokenizer's state follows the elements as a browser's tree builder would switch it, as far
// as that needs no tree: inside svg and math the elements are tracked (their HTML integration
// points and the HTML start tags that end them included), outside them only pre and listing.
// noscript is read as with scripting off: its content is markup and text.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/files/buffer.h"

namespace quillfen {

// One attribute of a tag's text.
enum class TValueQuote : std::uint8_t { None, Double, Single };

struct TAttribute {
    std::string_view name;
    std::string_view value;
    std::size_t valueAt = 0;
    TValueQuote quote = TValueQuote::None;
    bool hasValue = false;
};

inline bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The attributes of a tag as the tag's end was found, in the order written. A tag with more than
// fit here is read again from its text when its attributes are wanted (complete is false).
struct TAttributeList {
    static constexpr std::size_t kMax = 16;
    TAttribute items[kMax];
    std::size_t count = 0;
    bool complete = true;
};

// How a tag that starts at a '<' ends: at its '>', or never (the page ends inside it, and the
// browser drops it with the rest of the page).
enum class TEnd { Closed, Unclosed };

struct TTagEnd {
    TEnd kind;
    std::size_t at;  // the '>' that closes the tag; the page's size if none
};

// The end of the tag that starts at lt, read as browsers read a tag (name, attribute names,
// quoted and unquoted values). Everything that reads the page's tags reads them by this.
TTagEnd FindTagEnd(std::string_view page, std::size_t lt);
// The same, noting the attributes on the way (places in the tag's text, as ForEachAttribute
// gives them) and where the tag's name ends.
TTagEnd ReadTag(std::string_view page, std::size_t lt, TAttributeList& attributes,
                std::size_t& nameEnd);

// The '<' of the first "</" name followed by whitespace, '/' or '>' from `from` on, the name
// compared without regard to case; npos if none.
std::size_t FindEndTag(std::string_view page, std::size_t from, std::string_view name);

// The '<' of the end tag that ends a script whose content starts at from, read through the
// escaped states that "<!--" opens (inside them, "<script" and the next "</script" are part of
// the script); npos if the script runs to the end of the page.
std::size_t FindScriptEnd(std::string_view page, std::size_t from);

// How the text of a run reads.
enum class TTextMode : std::uint8_t {
    Flow,   // lines join into one text
    Lines,  // inside pre, listing or textarea: each line keeps its layout
    Cdata,  // the content of a CDATA section in svg or math: as written, no reference read, up
            // to "]]>"; its lines join into one text wherever it stands
};

struct TTagToken {
    std::size_t lt = 0;     // its '<'
    std::size_t gt = 0;     // its '>'
    std::string_view text;  // the bytes between them
    std::string_view name;  // as written, without an end tag's '/'
    bool end = false;
    bool html = true;     // read as an HTML element (not as an element of svg or math)
    bool hidden = false;  // inside a script or style of svg or math, which shows nothing
    // How many elements are open before the tag, as far as the tokenizer follows them, and
    // whether this start tag opens one more (a void, raw-text or self-closing one does not).
    std::size_t open = 0;
    bool opens = false;
    // A start tag's attributes as read while its end was found; valid during the Tag call.
    const TAttributeList* attributes = nullptr;
};

class TTokenSink {
  public:
    virtual ~TTokenSink() = default;
    // Text the page shows, [begin, end) of the page, in page order.
    virtual void Text(std::size_t begin, std::size_t end, TTextMode mode) = 0;
    virtual void Tag(const TTagToken& tag) = 0;
    // Content read up to its end tag whatever it holds: a comment or tag written into it would
    // be none (it follows the Tag of its element; title, textarea and a CDATA section in svg or
    // math also give their Text).
    virtual void Raw(std::size_t /*begin*/, std::size_t /*end*/) {}
    // Called after a tag (and the content its element takes) when fewer elements than
    // closeWatch are open, with their number: a sink that follows some elements learns that
    // they have closed. No tree is built, so an element that a browser closes without an end
    // tag (a p before the next p) stays open here.
    virtual void Closed(std::size_t /*open*/) {}
    // Set by the sink; 0, the default, never calls Closed. A plain value, as it is looked at
    // after every tag.
    std::size_t closeWatch = 0;
    // Set by the sink once it has what it reads the page for: nothing more is read or told.
    bool stop = false;
};

// Reads page from its start to its end, telling sink what it finds, in page order. progress
// gets positions in bytes.
void Tokenize(std::string_view page, TTokenSink& sink, const TProgress& progress = {});

// Walks the attributes of a start tag's text (the text between '<' and '>') as browsers read
// them, calling visit for each; visit returns false to stop. Returns the tag's name.
template <class Visit>
std::string_view ForEachAttribute(std::string_view t, Visit visit) {
    const std::size_t n = t.size();
    if (n == 0 || !((t[0] >= 'a' && t[0] <= 'z') || (t[0] >= 'A' && t[0] <= 'Z'))) return {};
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
                a.quote = q == '"' ? TValueQuote::Double : TValueQuote::Single;
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

// The same over a start tag as the tokenizer reported it: its attributes as already read where
// it has them.
template <class Visit>
std::string_view ForEachAttribute(const TTagToken& tag, Visit visit) {
    if (!tag.attributes || !tag.attributes->complete) return ForEachAttribute(tag.text, visit);
    for (std::size_t i = 0; i < tag.attributes->count; ++i)
        if (!visit(tag.attributes->items[i])) break;
    return tag.name;
}

}  // namespace quillfen
