#include "template.h"

#include <algorithm>

namespace quillfen {

TTemplate::TTemplate(std::initializer_list<std::string_view> entries) {
    for (std::string_view e : entries) push_back(e);
}

bool operator==(const TTemplate& a, const TLines& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace quillfen
