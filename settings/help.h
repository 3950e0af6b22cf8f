#pragma once

#include <QStringList>

#include "settings/language.h"

namespace quillfen {

// The 22 lines of the Help page in language.
QStringList HelpLines(TLanguage language);

}  // namespace quillfen
