#pragma once

#include <QStringList>
#include <cstdint>

namespace quillfen {

// The 22 lines of the Help page: German for language base 100, English for any other base.
QStringList HelpLines(uint16_t language);

}  // namespace quillfen
