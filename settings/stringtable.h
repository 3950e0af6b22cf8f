#pragma once

#include <QString>

#include "settings/language.h"

namespace quillfen {

// The version number, the one text every language shares.
inline constexpr int VersionId = int(TStringId::Version);

// The text with this id in language's table, or a text every language shares; an id that is in
// neither gives the empty text, as does a language that is not in the list.
QString LoadStr(TLanguage language, int id);
inline QString LoadStr(TLanguage language, TStringId id) { return LoadStr(language, int(id)); }
// A text every language shares (VersionId).
QString LoadStr(int id);
inline QString LoadStr(TStringId id) { return LoadStr(int(id)); }

}  // namespace quillfen
