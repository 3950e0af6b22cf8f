#pragma once

#include <QString>

#include "settings/language.h"

namespace quillfen {

// The version number, shared by both languages.
inline constexpr int VersionId = 999;

// The interface text with this id; an id that is not in the table gives the empty text,
// so a base other than 0 or 100 yields empty captions rather than a failure.
QString LoadStr(int id);
// The text of the English id in language.
inline QString LoadStr(TLanguage language, int id) { return LoadStr(StringBase(language) + id); }

}  // namespace quillfen
