#include "template.h"

#include <algorithm>

namespace quillfen {

TTemplate::TTemplate(std::initializer_list<std::string_view> entries) {
    for (std::string_view e : entries) push_back(e);
}

TTemplate::TTemplate(const TLines& entries) {
    for (const std::string& e : entries) push_back(e);
}

TLines TTemplate::Lines() const { return TLines(begin(), end()); }

bool operator==(const TTemplate& a, const TLines& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace quillfen
