#pragma once

// What every fuzz target checks of a loaded page. A broken invariant aborts, so that libFuzzer
// keeps the input as a crash and the replay of the corpus fails on it. Every check is linear in
// the page, so that the megabyte inputs of the corpus replay within the time-out.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/document.h"
#include "core/textitem.h"

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
    for (std::size_t k = 0; k < texts.size(); ++k) {
        // Texts are characters in UTF-8 whatever the encoding: a UTF-8 page whose only non-ASCII
        // characters were umlauts is ASCII once they are entities, and reads as Windows-1252.
        QF_CHECK(again.Text(k) == texts[k], "phrase " + std::to_string(k) + " '" + texts[k] +
                                                "' reloaded '" + std::string(again.Text(k)) + "'");
        QF_CHECK(again.Kind(k) == doc.Kind(k), "phrase " + std::to_string(k));
    }
}

}  // namespace quillfen::fuzz
