#pragma once

#include <string_view>

#include "entities.h"

namespace quillfen {

enum class TPageEncoding { Windows1252, Utf8 };

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// How a page's bytes are to be read: a UTF-8 byte-order mark, else the charset a meta tag
// declares, else UTF-8 when the bytes are valid UTF-8 holding non-ASCII characters, else
// Windows-1252. Any declared single-byte charset means Windows-1252.
TPageEncoding DetectEncoding(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// The entity tables with umlauts and sharp s in their UTF-8 forms.
const TEntityTables& Utf8Tables();
const TEntityTables& TablesFor(TPageEncoding encoding);

}  // namespace quillfen
