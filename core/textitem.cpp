#include "textitem.h"

namespace quillfen {

bool TTextItem::Clean(const TEntityTables& tables) {
    ReplaceAll(Text, "&nbsp;", " ");
    ReplaceAll(Text, "\t", " ");
    // Runs of blanks become one blank, in one pass.
    std::size_t w = 0;
    for (std::size_t r = 0; r < Text.size(); ++r) {
        if (Text[r] == ' ' && w > 0 && Text[w - 1] == ' ') continue;
        Text[w++] = Text[r];
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
