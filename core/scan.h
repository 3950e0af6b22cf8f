#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/buffer.h"
#include "core/entities.h"
#include "core/tags.h"
#include "core/textitem.h"
#include "core/tokenizer.h"

namespace quillfen {

// Where a phrase's text came from, which decides how its original text is read again and how a
// new text is written into its place.
enum class TSource : std::uint8_t {
    Text,          // a run between tags: lines joined, blanks collapsed
    Line,          // one line of a pre, listing or textarea block: layout kept
    DoubleQuoted,  // an attribute value in "..."
    SingleQuoted,  // an attribute value in '...'
    Unquoted,      // an attribute value without quotes
};

// A phrase's place in the page's bytes. [Begin, End) is what a new text replaces: the phrase
// without the whitespace at its edges, which stays as it was. [RunBegin, RunEnd) is what the
// scan read its text from.
struct TPhraseSpan {
    std::uint32_t RunBegin = 0;
    std::uint32_t RunEnd = 0;
    std::uint32_t Begin = 0;
    std::uint32_t End = 0;
    TSource Source = TSource::Text;
};

struct TAttributeHit {
    TKind kind = TKind::Text;  // Image or Content when value is not empty
    std::string_view value;    // a view into the tag's text, as it stands
    std::size_t place = 0;     // 0-based offset of the value's first character in the tag's text
    TSource source = TSource::DoubleQuoted;
};

// The tag's alt value (or, failing that, its content value) that becomes a phrase. tag is the
// text between '<' and '>'. Attribute names are whole names, matched without regard to the case
// of A to Z; values may be double-quoted, single-quoted or unquoted. Content values that
// programs rather than readers use (a meta's http-equiv or charset, viewport, robots, URLs...)
// are no phrases.
TAttributeHit ScanAttribute(std::string_view tag, TTags tags);

struct TScanResult {
    std::vector<TTextItem> Phrases;
    std::vector<TPhraseSpan> Spans;  // parallel to Phrases, offsets into the scanned bytes
    // The row strings that differ from their phrase's text: an alternative text or content
    // value is listed as it stands in the tag. (phrase number, value), in phrase order.
    std::vector<std::pair<std::size_t, std::string>> RawRows;
    // The quote a value without quotes gets when its new text needs them. A quote that never
    // closes takes the rest of the page into its tag, where no phrase stands, so no new text
    // stands behind it to close it: always '"'.
    char NewValueQuote = '"';

    std::size_t PhraseCount() const { return Phrases.size(); }
    // The list string of phrase i.
    std::string_view Row(std::size_t i) const;
    // Gives phrase i a new text, which its row shows from then on; or, with a raw row, that row.
    void SetText(std::size_t i, std::string text, std::string rawRow = {});
};

// The extraction scan over a page's bytes (without its byte-order mark). The page is not
// changed: the phrases are found in place, and what lies between them is the page's own.
// progress gets positions in bytes.
TScanResult ExtractPhrases(std::string_view page, TTags tags,
                           const TEntityTables& tables = Windows1252Tables(),
                           const TProgress& progress = {});

// The text the scan gave phrase i, read again from the page it scanned.
std::string OriginalText(std::string_view page, const TPhraseSpan& span,
                         const TEntityTables& tables);

// The row string of an attribute value as the scan listed it: the value as it stands.
std::string OriginalRow(std::string_view page, const TPhraseSpan& span);

// What a new text of a phrase becomes in the page: the encode table applied, and for an
// attribute value its own quote kept (an unquoted value that needs quotes gets quote, or, with
// none, its whitespace as character references).
std::string EncodeForSpan(std::string_view text, TSource source, const TEntityTables& tables,
                          char quote = '"');

std::uint64_t CountWords(std::string_view s);
std::uint64_t TotalWords(const std::vector<TTextItem>& phrases);

}  // namespace quillfen
