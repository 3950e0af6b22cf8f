#pragma once

// A text's lines as one list, read by the program's own line reader: what a test compares a
// page or text file against.

#include <string_view>
#include <vector>

#include "core/files/linereader.h"

namespace quillfen::testing {

inline std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    TLineReader reader(text);
    for (std::string_view line; reader.Next(line);) lines.push_back(line);
    return lines;
}

}  // namespace quillfen::testing
