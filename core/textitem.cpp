#include "textitem.h"

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

bool TTextItem::Clean(const TEntityTables& tables) {
    // "&nbsp;" and tabs become blanks and runs of blanks become one, all in one pass: a blank
    // can never complete a further "&nbsp;", so this is the same as replacing one after the
    // other.
    const std::size_t n = Text.size();
    char* d = Text.data();
    // Most texts have nothing to rewrite but their edges: skip what stays as it is, eight bytes
    // at a time while they hold no tab, no '&' and no two blanks in a row.
    std::size_t r = 0;
    for (; r + 8 <= n; r += 8) {
        if (r > 0 && d[r - 1] == ' ' && d[r] == ' ') break;
        std::uint64_t word;
        std::memcpy(&word, d + r, 8);
        const std::uint64_t blanks = ZeroBytes(word ^ (kOnes * ' '));
        if (ZeroBytes(word ^ (kOnes * '\t')) | ZeroBytes(word ^ (kOnes * '&')) |
            (blanks & (blanks >> 8)))
            break;
    }
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
