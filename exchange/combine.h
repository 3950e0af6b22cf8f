#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// Fills the markers of a template file's bytes from a text file's bytes and returns the new
// page, every line followed by CR LF. Marker k is looked for once per line, first occurrence
// only, and takes text line k, whatever its tag says: the tag and the end tag are only cut off
// by their expected lengths. Raises "Der Index der Liste überschreitet das Maximum (%d)" when
// marker k is found and the text has no line k.
std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes);

// Reads the template file, then the text file, and writes the recombined page to
// destinationPath. Raises "Datei %s kann nicht geöffnet werden" for the first input that cannot
// be read (an empty path or a folder included), the list-index error of CombineBytes, or
// "Datei %s kann nicht erstellt werden"; in every case an existing destination stays as it was.
void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath);

}  // namespace quillfen
