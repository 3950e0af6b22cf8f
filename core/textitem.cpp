#include "core/textitem.h"

#include <algorithm>

#include "core/text/phrasetext.h"

namespace quillfen {

bool OnlyLayout(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\t')
            ++i;
        else if (text.substr(i, 2) == "\xC2\xA0")
            i += 2;
        else
            return false;
    }
    return true;
}

bool TTextItem::Clean(const TEncodingInfo& encoding, TReferences where) {
    DecodeTextInPlace(Text, encoding, where);
    // Whitespace as a browser lays it out: every run of it one blank. Most texts have nothing to
    // rewrite but their edges.
    const std::size_t n = Text.size();
    char* d = Text.data();
    std::size_t r = 0;
    for (; r < n; ++r) {
        const char c = d[r];
        if (static_cast<unsigned char>(c) > ' ') continue;
        if (c == '\t' || c == '\n' || c == '\r' || (c == ' ' && r > 0 && d[r - 1] == ' ')) break;
    }
    std::size_t w = r;
    for (; r < n; ++r) {
        const char c = IsBlank(d[r]) ? ' ' : d[r];
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
    // A run of non-breaking spaces only holds a table cell open; there is nothing to translate.
    return !OnlyLayout(Text);
}

std::string NormaliseEntry(std::string_view text, bool preformatted) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    text = text.substr(b, e - b);
    if (preformatted) return std::string(text);
    // Most texts hold no two blanks in a row, and are copied as they are.
    std::size_t i = 1;
    while (i < text.size() && !(text[i] == ' ' && text[i - 1] == ' ')) ++i;
    std::string out(text.substr(0, std::min(i, text.size())));
    for (; i < text.size(); ++i)
        if (!(text[i] == ' ' && out.back() == ' ')) out.push_back(text[i]);
    return out;
}

}  // namespace quillfen
