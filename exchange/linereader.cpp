#include "exchange/lineviews.h"

namespace quillfen {

std::vector<std::string_view> SplitLineViews(std::string_view data) {
    const std::size_t zero = data.find('\0');
    if (zero != std::string_view::npos) data = data.substr(0, zero);

    std::vector<std::string_view> lines;
    const char* p = data.data();
    const char* const end = p + data.size();
    // A rough guess of the line count spares most regrowths on large pages.
    lines.reserve(data.size() / 32 + 1);
    while (p < end) {
        const char* stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n') ++stop;
        lines.emplace_back(p, static_cast<std::size_t>(stop - p));
        if (stop == end) break;
        p = stop + 1;
        if (*stop == '\r' && p < end && *p == '\n') ++p;
    }
    return lines;
}

}  // namespace quillfen
