#pragma once

// The one crossing between phrase texts (UTF-8 in the core, whatever the page's encoding) and the
// window's QStrings. Nothing else in the windows converts page text.

#include <QString>
#include <string>
#include <string_view>

#include "core/text/encoding.h"

namespace quillfen {

// A phrase's text (UTF-8, core/text/phrasetext.h) as the window shows it. A byte of the page that
// is no character of its encoding shows as U+FFFD.
QString FromText(std::string_view text);
// The inverse, for a text the user typed: a surrogate without its partner becomes U+FFFD.
std::string ToText(const QString& text);

// The name of the encoding a page was read in, as the window shows it: a Legacy page's declared
// name in upper case ("EUC-KR").
QString EncodingName(TPageEncoding encoding);
QString EncodingName(const TEncodingInfo& encoding);

// What the user typed or pasted into the entry field, made fit to be one phrase: line breaks
// (CR LF counts as one) become blanks, and zero characters, which would end the page's text
// when it is read again, are removed.
QString EntryText(const QString& text);

}  // namespace quillfen
