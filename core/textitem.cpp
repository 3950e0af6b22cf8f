#include "core/textitem.h"

#include <cstdint>
#include <cstring>

namespace quillfen {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

// The high bit of every byte of x that is zero, and no other bit.
std::uint64_t ZeroBytes(std::uint64_t x) {
    constexpr std::uint64_t k7F = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((x & k7F) + k7F) | x | k7F);
}

}  // namespace

namespace {

// Whether text holds nothing but blanks and non-breaking spaces, as the entity or as the page's
// own bytes for one.
bool OnlyBlanksAndNbsp(std::string_view text, std::string_view nbsp) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
        } else if (text.substr(i, 6) == "&nbsp;") {
            i += 6;
        } else if (!nbsp.empty() && text.substr(i, nbsp.size()) == nbsp) {
            i += nbsp.size();
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TTextItem::Clean(const TEntityTables& tables) {
    // Tabs become blanks and runs of blanks become one, in one pass.
    const std::size_t n = Text.size();
    char* d = Text.data();
    // Most texts have nothing to rewrite but their edges: skip what stays as it is, eight bytes
    // at a time while they hold no tab and no two blanks in a row.
    std::size_t r = 0;
    for (; r + 8 <= n; r += 8) {
        if (r > 0 && d[r - 1] == ' ' && d[r] == ' ') break;
        std::uint64_t word;
        std::memcpy(&word, d + r, 8);
        const std::uint64_t blanks = ZeroBytes(word ^ (kOnes * ' '));
        if (ZeroBytes(word ^ (kOnes * '\t')) | (blanks & (blanks >> 8))) break;
    }
    while (r < n && d[r] != '\t' && !(d[r] == ' ' && r > 0 && d[r - 1] == ' ')) ++r;
    std::size_t w = r;
    for (; r < n; ++r) {
        const char c = d[r] == '\t' ? ' ' : d[r];
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
    if (OnlyBlanksAndNbsp(Text, tables.nbsp)) return false;
    Decode(Text, tables);
    return true;
}

std::string EncodeText(std::string_view text, const TEntityTables& tables) {
    std::string s(text);
    Encode(s, tables);
    return s;
}

std::string NormaliseEntry(std::string_view text, bool preformatted) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    text = text.substr(b, e - b);
    if (preformatted) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!(c == ' ' && !out.empty() && out.back() == ' ')) out.push_back(c);
    return out;
}

}  // namespace quillfen
