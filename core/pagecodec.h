#pragma once

// Conversion between a page's bytes and UTF-8, for the places where page text meets the user:
// the window, the command-line tool and the exchange. Core keeps pages as bytes and never
// converts them; Legacy encodings go through the C library's iconv.

#include <string>
#include <string_view>

#include "core/encoding.h"

namespace quillfen {

// Throws TError naming the encoding when the converter does not know it, or when it is no
// superset of ASCII (its bytes could not be scanned as they stand). Windows-1252 and UTF-8
// always pass.
void CheckConvertible(const TEncodingInfo& encoding, const std::string& path = {});

// Page bytes to UTF-8; a byte that starts no character of the encoding becomes U+FFFD.
std::string PageToUtf8(std::string_view bytes, const TEncodingInfo& encoding);

// UTF-8 to page bytes. A character the encoding cannot hold, or holds only as bytes that read
// back as another character (Shift_JIS has no yen sign of its own), becomes a decimal numeric
// reference "&#NNNN;". Each byte that is no UTF-8 counts as U+FFFD.
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
