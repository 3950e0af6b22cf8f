#pragma once

// Sentences as phrases: the text of a block flows together with its inline elements, as a
// browser lays it out, and is cut into sentences by ICU's sentence break iterator. A sentence's
// inline tags stand in its text as numbered placeholders that a translator may move:
// "<b1>...</b1>" for an element with content, "<br2/>" for one without (and for an svg, a math or
// a translate="no" element, carried whole), the letters from the tag's name, the numbers from 1
// in the order the tags open in the sentence.
//
// A '<' of the page's own text that reads like a placeholder is written "\<", and backslashes
// right before such a '<' or before a placeholder are doubled, so that no text of the page is
// ever taken for a placeholder: "a \<b1> b" is the text "a <b1> b".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/buffer.h"
#include "core/markup/scan.h"
#include "core/tags.h"
#include "core/text/encoding.h"
#include "core/text/phrasetext.h"
#include "core/textitem.h"

namespace quillfen {

// How a page is cut into phrases: text runs between tags, or sentences.
enum class TUnits : std::uint8_t { Runs, Sentences };

// Whether this build cuts pages into sentences (it needs ICU, which the Windows build lacks).
bool SentencesAvailable();

// One placeholder of a sentence and the tags it stands for, as offsets into the page.
struct TPlaceholder {
    std::string Name;  // "b1": letters of the tag's name and the number
    bool Paired = false;
    // The start tag; for a placeholder without content the whole of what it carries (a void
    // element, an svg, math or translate="no" element, or a tag whose partner lies outside).
    std::uint32_t Begin = 0, End = 0;
    // A paired placeholder's end tag.
    std::uint32_t CloseBegin = 0, CloseEnd = 0;
};

using TPlaceholders = std::vector<TPlaceholder>;

// The scan in sentences. Each phrase goes to sink in page order: a sentence (kind T, its span's
// Source TSource::Sentence, its placeholders) followed by the alt and content phrases of the tags
// inside it, which lie inside its span; text that is no part of a flow (pre, textarea, title
// included) and attributes of tags outside sentences as the run scan gives them, without
// placeholders. A flow whose elements do not nest is given as the run scan gives it.
// Needs SentencesAvailable().
using TSentenceSink = std::function<void(TTextItem&&, const TPhraseSpan&, TPlaceholders&&)>;
void ExtractSentences(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                      const TSentenceSink& sink, const TProgress& progress = {});

// Whether text holds every placeholder of placeholders exactly once, the pairs nested (in any
// order). Throws TError naming the missing, doubled, unknown or broken placeholder.
void CheckPlaceholders(std::string_view text, const TPlaceholders& placeholders);

// The bytes of page [begin, end) as they stand now: the page's own, with the new texts of the
// phrases inside them.
using TTagBytes = std::function<std::string(std::uint32_t begin, std::uint32_t end)>;

// What a new text of a sentence becomes in the page: its text through the encode table in the
// page's encoding, each placeholder as its tags stand now. The text must pass CheckPlaceholders.
std::string EncodeSentence(std::string_view text, const TPlaceholders& placeholders,
                           const TTagBytes& tagBytes, const TEncodingInfo& encoding,
                           TEncodeMode mode = TEncodeMode::Entities);

// A sentence's text read back: literal stretches and placeholders, in their order.
struct TSentencePiece {
    enum TKind : std::uint8_t { Literal, Open, Close, Void } kind = Literal;
    std::string text;  // a literal's characters, escapes resolved, or a placeholder's name ("b1")
    std::string written;  // a placeholder as written ("</b1>"); empty for a literal
};
std::vector<TSentencePiece> SentencePieces(std::string_view text);
// Appends a literal stretch to a sentence's text, escaped so that no part of it reads as a
// placeholder; placeholderFollows: a placeholder is appended next.
void AppendSentenceLiteral(std::string& out, std::string_view text, bool placeholderFollows);

// A sentence's text as a reader reads it: without placeholders, escapes resolved. Words are
// counted in this.
std::string TextWithoutPlaceholders(std::string_view text);

}  // namespace quillfen
