#pragma once

// A phrase as the scan once wrote it back: the blank each edge lost to Clean put back, the
// encode table applied. Tests use it to see that Clean and the tables undo each other.

#include <string>

#include "core/entities.h"
#include "core/textitem.h"

namespace quillfen::testing {

inline std::string EncodePhrase(const TTextItem& item,
                                const TEntityTables& tables = Windows1252Tables()) {
    std::string s;
    if (item.LeadingSpace) s += ' ';
    s += item.Text;
    if (item.TrailingSpace) s += ' ';
    Encode(s, tables);
    return s;
}

}  // namespace quillfen::testing
