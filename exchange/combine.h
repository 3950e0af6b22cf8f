#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// Fills the markers of a template file's bytes from a text file's bytes and returns the new
// page. The template's bytes are copied as they stand; only the markers are replaced. Marker k
// takes text line k, whatever its number tag says (the tags are only cut off by their expected
// lengths), and the search for marker k+1 goes on behind it, so that every marker of a line is
// filled and a repeated marker stays as it is. A text line is read as a text: "&name;", "&#N;" and
// "&#xH;" (with their ';') as the characters they name, every other '&' as text; and each phrase
// is written as a save writes a changed one: encoded for the page, in its attribute's own quotes.
//
// The page's encoding is the template's, read as a page is read; a template of ASCII bytes that
// declares nothing takes the text file's. The text file is read as UTF-8 when it starts with a
// UTF-8 byte-order mark, which is dropped, or when it is valid UTF-8 holding non-ASCII bytes;
// otherwise in the page's encoding. Both files end at a zero byte.
//
// Raises "Der Index der Liste überschreitet das Maximum (%d)" when marker k is found and the text
// has no line k, and the encoding errors of a page for a template in an encoding that cannot be
// handled (templatePath names it).
std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes,
                         const std::string& templatePath = {});

// Reads the template file, then the text file, and writes the recombined page to
// destinationPath. Raises "Datei %s kann nicht geöffnet werden" for the first input that cannot
// be read (an empty path or a folder included), the errors of CombineBytes, or "Datei %s kann
// nicht erstellt werden"; in every case an existing destination stays as it was.
void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath);

}  // namespace quillfen
