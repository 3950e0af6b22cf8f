#pragma once

#include <QString>

namespace quillfen {

// Base ids of the two interface languages; an entry's German text has the English id + 100.
inline constexpr int EnglishBase = 0;
inline constexpr int GermanBase = 100;
// The version number, shared by both languages.
inline constexpr int VersionId = 999;

// The interface text with this id; an id that is not in the table gives the empty text,
// so a base other than 0 or 100 yields empty captions rather than a failure.
QString LoadStr(int id);

}  // namespace quillfen
