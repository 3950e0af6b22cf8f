#pragma once

#include <string_view>
#include <vector>

namespace quillfen {

// The lines of a text file as views into its bytes, by the same rules as SplitLines: CR LF, a
// lone CR and a lone LF each end a line (so LF CR ends two), a final line break starts no empty
// line, and the text ends at the first zero byte. Recombination reads whole pages this way so
// that no line is copied before it is needed.
std::vector<std::string_view> SplitLineViews(std::string_view data);

}  // namespace quillfen
