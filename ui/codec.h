#pragma once

// The one crossing between page bytes (kept as std::string in the page's encoding) and the
// window's QStrings. Nothing else in the windows converts page text.

#include <QString>
#include <string>
#include <string_view>

#include "core/encoding.h"

namespace quillfen {

// Every byte has a character: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same number, so any page survives the
// trip to the window and back unchanged.
// A UTF-8 page's bytes are read as UTF-8. A Legacy page needs its name: the overload below.
QString FromPage(std::string_view bytes, TPageEncoding encoding = TPageEncoding::Windows1252);
// Any encoding; a Legacy page's bytes are converted by its declared name, and a byte that starts
// no character of it shows as U+FFFD. Throws TError for a name the converter does not know
// (CheckConvertible at loading tells earlier).
QString FromPage(std::string_view bytes, const TEncodingInfo& encoding);

// The inverse of FromPage. A character Windows-1252 cannot hold is written as a decimal
// numeric character reference ("&#1071;"); a surrogate pair gives one reference of its code
// point, a lone surrogate the reference of U+FFFD. Nothing is dropped or replaced by "?".
// On a UTF-8 page every character is written as UTF-8 (a lone surrogate as U+FFFD).
std::string ToPage(const QString& text, TPageEncoding encoding = TPageEncoding::Windows1252);
// Any encoding; on a Legacy page, as on a Windows-1252 one, a character the encoding cannot
// hold is written as a numeric reference.
std::string ToPage(const QString& text, const TEncodingInfo& encoding);

// The name of the encoding a page was read in, as the window shows it: a Legacy page's declared
// name in upper case ("EUC-KR").
QString EncodingName(TPageEncoding encoding);
QString EncodingName(const TEncodingInfo& encoding);

// What the user typed or pasted into the entry field, made fit to be one phrase: line breaks
// (CR LF counts as one) become blanks, and zero characters, which would end the page's text
// when it is read again, are removed.
QString EntryText(const QString& text);

}  // namespace quillfen
