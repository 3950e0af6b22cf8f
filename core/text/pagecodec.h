#pragma once

// Conversion between a page's bytes and UTF-8, one phrase at a time (core/text/phrasetext reads and
// writes texts through it); pages themselves are never converted as a whole. Legacy encodings
// are read and written as browsers do, by the decoders, encoders and tables of the WHATWG
// Encoding Standard, on every platform alike.

#include <string>
#include <string_view>

#include "core/text/encoding.h"

namespace quillfen {

// Throws TError naming the encoding when the name is no label of the Encoding Standard
// (UnknownEncodingError), or when its encoding is no superset of ASCII or keeps a state
// (ISO-2022-JP, UTF-16, replacement: UnsupportedEncodingError), so its bytes could not be scanned
// as they stand. Windows-1252 and UTF-8 always pass.
void CheckConvertible(const TEncodingInfo& encoding, const std::string& path = {});

// Page bytes to UTF-8; bytes that start no character of the encoding become U+FFFD, one for the
// bytes a browser's decoder takes together (a lead byte and a non-ASCII byte behind it; an ASCII
// byte behind a bad lead is read on its own).
std::string PageToUtf8(std::string_view bytes, const TEncodingInfo& encoding);

// UTF-8 to page bytes. A character is written as bytes only where the encoder gives some and
// the decoder reads them back as the same character; else (no bytes, or bytes of a look-alike:
// Shift_JIS writes the yen sign as a backslash) it becomes a decimal numeric reference "&#NNNN;".
// Each byte that is no UTF-8 counts as U+FFFD.
std::string Utf8ToPage(std::string_view utf8, const TEncodingInfo& encoding);

// The command-line form of page text: UTF-8 with tab, CR, LF and backslash written as \t \r \n
// \\ and every byte that starts no character of the encoding as \xHH (upper-case hex). So are the
// bytes of a character held twice by the encoding (Shift_JIS and Big5 have some) in the form it
// is not written in: EscapedToPage(PageToEscaped(t)) == t for every t.
std::string PageToEscaped(std::string_view bytes, const TEncodingInfo& encoding);

// Reads the form PageToEscaped writes (hex digits in either case): the UTF-8 parts are converted
// with Utf8ToPage, \xHH puts in the byte itself. Throws TError on a malformed escape or on bytes
// that are no UTF-8.
std::string EscapedToPage(std::string_view text, const TEncodingInfo& encoding);

}  // namespace quillfen
