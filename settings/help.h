#pragma once

#include <QStringList>

#include "settings/language.h"

namespace quillfen {

// The lines of the Help page in language (22 for English and German); none for a language that
// is not in the list.
QStringList HelpLines(TLanguage language);

}  // namespace quillfen
