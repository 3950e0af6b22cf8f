#pragma once

// Gettext's PO as an exchange format: one entry per phrase, its number and kind as the context,
// its text as the message, the author's note as an extracted comment. The header carries the
// stamp of the page, so that a merge can tell it is given the page exported. PO is written and
// read here: the GNU library that reads it may not be linked into this program.

#include <string>
#include <string_view>

#include "exchange/formats.h"

namespace quillfen {

extern const TExchangeFormat kPoFormat;

// The PO file of the document's phrases as they stand. pageName goes into the references and
// the project's name; generated is the revision date ("2026-12-09 22:40+0000").
std::string PoBytes(const TDocument& document, std::string_view pageName,
                    const TExportOptions& options, std::string_view generated);

// A PO string's contents as the file writes them between its quotes: backslash, quote, line
// feed, carriage return and tab as \\ \" \n \r \t. Other control characters stand as they are,
// which every reader of PO takes as themselves; \a, \v and octal forms some tools do not read.
void AppendPoEscaped(std::string& out, std::string_view text);

// The units of a PO file (the header's X-Quillfen-Source giving the stamp). A unit's id is the
// first word of its context; its target is nullopt where the message is not translated or is
// fuzzy. Obsolete entries (#~) are passed over. Raises TError naming path and the line for a
// file it cannot read: a string without its end, an unknown escape, a keyword out of place, text
// that is no UTF-8, a charset other than UTF-8.
TTranslationFile ReadPoFile(std::string_view bytes, const std::string& path);

// The language tag of a page's lang in PO's form: "en-us" gives "en_US", "pt-BR" "pt_BR",
// "sr-Latn-RS" "sr_RS"; script and other subtags are dropped. Empty for an empty tag.
std::string PoLanguage(std::string_view tag);

}  // namespace quillfen
