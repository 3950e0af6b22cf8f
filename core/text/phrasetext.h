#pragma once

// A phrase's text is UTF-8 whatever the page's encoding: the encoding is removed where a
// phrase's bytes are read and applied where a new text is written, here and nowhere else. A byte
// that starts no character of the page's encoding stays in the text as that byte (the text is
// then no valid UTF-8), so that it goes back into the page as it was: the window shows it as
// U+FFFD, quillfen-cli as \xHH.

#include <string>
#include <string_view>

#include "core/markup/entities.h"
#include "core/text/encoding.h"

namespace quillfen {

// The characters of a phrase's page bytes, without decoding references.
std::string TextOfPageBytes(std::string_view bytes, const TEncodingInfo& encoding);
// The characters a browser shows for a phrase's page bytes: the encoding removed, every
// character reference decoded as it is read where it stands.
std::string DecodeText(std::string_view bytes, const TEncodingInfo& encoding, TReferences where);
// The same in place; most texts are left as they are, without a copy.
void DecodeTextInPlace(std::string& text, const TEncodingInfo& encoding, TReferences where);

// A text in the page's encoding: a character the encoding cannot hold becomes a decimal
// reference ("&#1071;"); the bytes a text holds as such go in as they are.
std::string PageBytesOfText(std::string_view text, const TEncodingInfo& encoding);

// A text as a CDATA section of svg or math holds it, where a browser reads no reference: its
// characters as bytes of the page's encoding, the bytes it holds as such as they are. missing
// gets the first character the encoding lacks, which the section cannot hold; 0 if none.
std::string CdataBytesOfText(std::string_view text, const TEncodingInfo& encoding,
                             char32_t& missing);

// How a new text writes the characters beyond ASCII. A Windows-1252 page that would read as
// UTF-8 once its umlauts are entities keeps them as bytes (KeepCharacters); one whose new texts
// would read as UTF-8 even then writes them all as references (References).
enum class TEncodeMode { Entities, KeepCharacters, References };

// The encode table, from text to text: '&' as "&amp;", '<', '>' and '"' as "&lt;", "&gt;" and
// "&quot;", the umlauts, sharp s and the non-breaking space as their entities (not with
// KeepCharacters), control characters other than tab and line breaks as numeric references, and
// with References every other character beyond ASCII as a numeric reference too. A browser reads
// the result back as the text.
std::string EncodeText(std::string_view text, TEncodeMode mode = TEncodeMode::Entities);

// A text as a line of the exchanged text file holds it, in the page's encoding: characters as
// they are, a character the encoding cannot hold as "&#N;", and an '&' that the file would read
// as the start of a reference as "&amp;".
std::string TextFileText(std::string_view text, const TEncodingInfo& encoding);
// The text of a line of the text file whose bytes are in encoding: "&name;", "&#N;" and
// "&#xH;" read as their characters, every other '&' as text.
std::string TextOfTextFile(std::string_view bytes, const TEncodingInfo& encoding);

// The command-line form of a text: tab, CR, LF and backslash as \t \r \n \\, every byte that is
// no UTF-8 as \xHH (upper-case hex).
std::string EscapedText(std::string_view text);
// Reads that form (hex digits in either case). Throws TError on a malformed escape or on bytes
// that are no UTF-8.
std::string TextOfEscaped(std::string_view escaped);

}  // namespace quillfen
