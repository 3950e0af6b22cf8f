#pragma once

// The one crossing between page bytes (Windows-1252 or UTF-8, kept as std::string) and the
// window's QStrings. Nothing else in the windows converts page text.

#include <QString>

#include <string>
#include <string_view>

#include "encoding.h"

namespace quillfen {

// Every byte has a character: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same number, so any page survives the
// trip to the window and back unchanged.
// A UTF-8 page's bytes are read as UTF-8.
QString FromPage(std::string_view bytes, TPageEncoding encoding = TPageEncoding::Windows1252);

// The inverse of FromPage. A character Windows-1252 cannot hold is written as a decimal
// numeric character reference ("&#1071;"); a surrogate pair gives one reference of its code
// point, a lone surrogate the reference of U+FFFD. Nothing is dropped or replaced by "?".
// On a UTF-8 page every character is written as UTF-8 (a lone surrogate as U+FFFD).
std::string ToPage(const QString& text, TPageEncoding encoding = TPageEncoding::Windows1252);

// The name of the encoding a page was read in, as the window shows it.
QString EncodingName(TPageEncoding encoding);

// What the user typed or pasted into the entry field, made fit to be one phrase: line breaks
// (CR LF counts as one) become blanks, and zero characters, which would end the page's text
// when it is read again, are removed.
QString EntryText(const QString& text);

}  // namespace quillfen
