#pragma once

#include <string>
#include <string_view>

namespace quillfen::testing {

// An exported XLIFF file with a target behind each source, as a translation tool gives it back:
// the source's content between prefix and suffix, in the element targetTag opens.
inline std::string XliffWithTargets(std::string_view xliff, std::string_view prefix,
                                    std::string_view suffix = {},
                                    std::string_view targetTag = "<target>") {
    std::string out;
    out.reserve(xliff.size() * 2);
    std::size_t at = 0, source;
    while ((source = xliff.find("<source>", at)) != std::string_view::npos) {
        const std::size_t end = xliff.find("</source>", source) + 9;
        out.append(xliff, at, end - at);
        out.append(targetTag).append(prefix);
        out.append(xliff, source + 8, end - 9 - (source + 8));
        out.append(suffix).append("</target>");
        at = end;
    }
    return out.append(xliff.substr(at));
}

}  // namespace quillfen::testing
