#pragma once

#include <string>
#include <string_view>

#include "exchange/formats.h"

namespace quillfen {

// Fills the markers of a template file's bytes from the phrases of an exchange file and returns
// the new page. The template's bytes are copied as they stand, a zero byte like any other; only
// the markers are replaced, each by its phrase written as a save writes a changed one: encoded
// for the page, in its attribute's own quotes. The markers must stand in order (%_0_%, %_1_%,
// ...), each once, and the file must hold a phrase for each and none more: a marker out of order,
// doubled, damaged or without its phrase raises TemplateError naming templatePath and the
// template's line, and the reader's errors name the exchange file's lines (a phrase left over
// included), so that no phrase ever lands in another's place. Nothing is given back then.
// A marker followed by a table of placeholders (core/document/format.h) is a sentence's: the
// phrases inside it are read from the next lines into the table's tags, and its text must hold its
// placeholders as a confirmed one must; a fault is the reader's Fault, naming its line, and a
// damaged table TemplateError.
//
// The page's encoding is the template's, read as a page is read; a template of ASCII bytes that
// declares nothing takes UTF-8 when the exchange file's texts are UTF-8, else Windows-1252.
// phrasesSize: about how many bytes the phrases take. Raises the encoding errors of a page for a
// template in an encoding that cannot be handled (templatePath names it).
std::string CombineBytes(std::string_view templateBytes, TPhraseReader& phrases,
                         const std::string& templatePath = {}, std::size_t phrasesSize = 0);

// The same with the phrases of a text file's bytes (exchange/textfile.h), textPath naming it in
// errors. A text line is read as a text: "&name;", "&#N;" and "&#xH;" (with their ';') as the
// characters they name, every other '&' as text.
std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes,
                         const std::string& templatePath = {}, const std::string& textPath = {});

// Reads the template file, then the text file, and writes the recombined page to
// destinationPath. Raises "Datei %s kann nicht geöffnet werden" for the first input that cannot
// be read (an empty path or a folder included), the errors of CombineBytes, or "Datei %s kann
// nicht erstellt werden"; in every case an existing destination stays as it was.
void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath);
// The same with a file of format in place of the text file.
void Combine(const TExchangeFormat& format, const std::string& phrasesPath,
             const std::string& templatePath, const std::string& destinationPath);

}  // namespace quillfen
