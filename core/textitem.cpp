#include "textitem.h"

#include <cstring>

namespace quillfen {

bool TTextItem::Clean(const TEntityTables& tables) {
    // "&nbsp;" and tabs become blanks and runs of blanks become one, all in one pass: a blank
    // can never complete a further "&nbsp;", so this is the same as replacing one after the
    // other.
    const std::size_t n = Text.size();
    char* d = Text.data();
    // Most texts have nothing to rewrite but their edges: skip what stays as it is.
    std::size_t r = 0;
    while (r < n && d[r] != '\t' && d[r] != '&' && !(d[r] == ' ' && r > 0 && d[r - 1] == ' ')) ++r;
    std::size_t w = r;
    for (; r < n; ++r) {
        char c = d[r];
        if (c == '\t') {
            c = ' ';
        } else if (c == '&' && n - r >= 6 && std::memcmp(d + r, "&nbsp;", 6) == 0) {
            c = ' ';
            r += 5;
        }
        if (c == ' ' && w > 0 && d[w - 1] == ' ') continue;
        d[w++] = c;
    }
    Text.resize(w);
    if (!Text.empty() && Text.front() == ' ') {
        Text.erase(0, 1);
        LeadingSpace = true;
    }
    if (Text.empty()) return false;
    if (Text.back() == ' ') {
        Text.pop_back();
        TrailingSpace = true;
    }
    Decode(Text, tables);
    return true;
}

std::string EncodePhrase(const TTextItem& item, const TEntityTables& tables) {
    std::string s;
    s.reserve(item.Text.size() + 2);
    if (item.LeadingSpace) s.push_back(' ');
    s += item.Text;
    if (item.TrailingSpace) s.push_back(' ');
    Encode(s, tables);
    return s;
}

}  // namespace quillfen
