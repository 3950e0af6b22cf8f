#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/files/buffer.h"
#include "core/markup/kinds.h"
#include "core/markup/tokenizer.h"
#include "core/tags.h"
#include "core/text/ascii.h"
#include "core/text/encoding.h"
#include "core/text/phrasetext.h"
#include "core/textitem.h"

namespace quillfen {

// Where a phrase's text came from, which decides how its original text is read again and how a
// new text is written into its place.
enum class TSource : std::uint8_t {
    Text,          // a run between tags: lines joined, blanks collapsed
    Line,          // one line of a pre, listing or textarea block: layout kept
    DoubleQuoted,  // an attribute value in "..."
    SingleQuoted,  // an attribute value in '...'
    Unquoted,      // an attribute value without quotes
    Sentence,      // a sentence with its inline tags as placeholders (core/markup/sentences.h)
    Cdata,         // all a CDATA section of svg or math holds: no reference read, lines joined
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
    TKind kind = TKind::Text;
    std::string_view value;  // a view into the tag's text, as it stands; never empty
    std::size_t place = 0;   // 0-based offset of the value's first character in the tag's text
    TSource source = TSource::DoubleQuoted;
};

// Finds the attribute values of start tags that become phrases of the chosen kinds, by the
// kinds' rules (core/markup/kinds.h). Attribute names are whole names, matched without regard to
// the case of A to Z; values may be double-quoted, single-quoted or unquoted. It keeps its buffers
// from one tag to the next.
class TAttributeScanner {
  public:
    explicit TAttributeScanner(TTags tags);

    // Whether a chosen kind is read from attributes at all.
    bool Any() const { return !kinds_.empty(); }

    // The phrases of the tag (the text between '<' and '>'), in the order of its attributes;
    // valid until the next call.
    std::span<const TAttributeHit> Scan(std::string_view tag);
    // The same for a start tag as the tokenizer reported it, its attributes already read.
    std::span<const TAttributeHit> Scan(const TTagToken& tag);
    // Whether an attribute of this name may give a phrase of a chosen kind.
    bool IsCandidate(std::string_view name) const;
    // The phrases of a tag that has a candidate attribute.
    std::span<const TAttributeHit> Take(const TTagToken& tag);

  private:
    TTags tags_;
    std::vector<const TKindInfo*> kinds_;  // the chosen kinds read from attributes
    // By length (kLongName for any longer), the first characters of their names, one bit each
    // (the letter's place in the alphabet, else bit 31): most attribute names are passed over
    // without a comparison.
    static constexpr std::size_t kLongName = 31;
    static std::uint32_t FirstBit(char c) {
        const char lower = LowerAZ(c);
        return std::uint32_t{1} << (lower >= 'a' && lower <= 'z' ? lower - 'a' : 31);
    }
    std::array<std::uint32_t, kLongName + 1> shapes_{};
    std::vector<TAttribute> attributes_;
    std::vector<TAttributeHit> hits_;
};

struct TScanResult {
    std::vector<TTextItem> Phrases;
    std::vector<TPhraseSpan> Spans;  // parallel to Phrases, offsets into the scanned bytes
    // The quote a value without quotes gets when its new text needs them. A quote that never
    // closes takes the rest of the page into its tag, where no phrase stands, so no new text
    // stands behind it to close it: always '"'.
    char NewValueQuote = '"';

    std::size_t PhraseCount() const { return Phrases.size(); }
};

// The extraction scan over a page's bytes (without its byte-order mark) in the page's encoding.
// The page is not changed: the phrases are found in place, and what lies between them is the
// page's own. Their texts are UTF-8 (core/text/phrasetext.h). progress gets positions in bytes.
TScanResult ExtractPhrases(std::string_view page, TTags tags, const TEncodingInfo& encoding = {},
                           const TProgress& progress = {});

// The same scan handing each phrase to sink as it is found, in page order, Number counting from
// 0: nothing of the phrases is kept.
using TPhraseSink = std::function<void(TTextItem&&, const TPhraseSpan&)>;
void ExtractPhrases(std::string_view page, TTags tags, const TEncodingInfo& encoding,
                    const TPhraseSink& sink, const TProgress& progress = {});

// The scan of text runs as a sink of the tokenizer's tokens, for a scan that reads the tokens
// itself and takes the runs' phrases where it has nothing better (core/markup/sentences.cpp).
class TRunScanner : public TTokenSink {
  public:
    // Whether text read now may give phrases: no element around it says translate="no".
    virtual bool Translating() const = 0;
    // The its-loc-note of the elements around text read now, as written; empty if none.
    virtual std::string_view RawNote() const = 0;
};
std::unique_ptr<TRunScanner> MakeRunScanner(std::string_view page, TTags tags,
                                            const TEncodingInfo& encoding, const TPhraseSink& sink);
// A note as written in an attribute, as a browser reads it: references decoded, blanks collapsed.
std::string NoteText(std::string_view raw, const TEncodingInfo& encoding);

// What a new text of a phrase becomes in the page: the encode table applied, an attribute value
// in its own quotes (a '\'' in a single-quoted one as "&#39;"; an unquoted value that needs
// quotes gets quote, or, with none, its whitespace as character references), in the page's
// encoding.
std::string EncodeForSpan(std::string_view text, TSource source, const TEncodingInfo& encoding,
                          TEncodeMode mode = TEncodeMode::Entities, char quote = '"');

// What a new text of a CDATA section becomes in the page: its characters as they are, in the
// page's encoding (CdataBytesOfText), since a browser reads no reference there. Raises
// CdataTextError, naming phrase n (from 1; 0 names none), for a text the section cannot hold:
// one holding "]]>", a character the encoding lacks, or, where mode writes every character
// beyond ASCII as a reference, any such character.
std::string CdataBytes(std::string_view text, const TEncodingInfo& encoding, TEncodeMode mode,
                       std::size_t n = 0);
// Whether the text of a CDATA section may read as markup to a browser's prescan for the page's
// charset declaration, which knows no CDATA section: a '>' ends the section's "<!" for it, and a
// '<' behind that starts a tag, a comment or a declaration of its own. A new text may hold such
// markup only behind the page's declaration (CharsetDeclarationEnd), where nothing changes what
// a browser takes the page's encoding for.
bool MayReadAsMarkup(std::string_view text);

std::uint64_t CountWords(std::string_view s);
std::uint64_t TotalWords(const std::vector<TTextItem>& phrases);

}  // namespace quillfen
