#include "core/markup/entities.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/text/ascii.h"

namespace quillfen {

namespace {

// One left-to-right pass for the degenerate case of a replacement holding its own search text.
void ReplaceOnce(std::string& s, std::string_view search, std::string_view replacement) {
    std::string out;
    out.reserve(s.size());
    std::size_t from = 0;
    for (std::size_t p = s.find(search); p != std::string::npos; p = s.find(search, from)) {
        out.append(s, from, p - from);
        out.append(replacement);
        from = p + search.size();
    }
    out.append(s, from, std::string::npos);
    s = std::move(out);
}

// The restarting definition always replaces the occurrence that ends first. The bytes kept so
// far (s[0, w)) never hold an occurrence, so a new one can only end at the byte just pushed.
// For the in-place passes: the unread bytes d[r, n) up to the next one equal to last (the only
// byte that can end an occurrence) are kept as they are, at d[w].
void KeepUpTo(char* d, std::size_t& w, std::size_t& r, std::size_t n, char last) {
    const void* hit = std::memchr(d + r, last, n - r);
    const std::size_t stop = hit ? static_cast<const char*>(hit) - d : n;
    if (w != r) std::memmove(d + w, d + r, stop - r);
    w += stop - r;
    r = stop;
}

// A replacement no longer than its search text lets the kept bytes share s with the unread
// ones: w never overtakes the read position.
void ShrinkInPlace(std::string& s, std::size_t first, std::string_view search,
                   std::string_view replacement) {
    const std::size_t m = search.size();
    const char last = search.back();
    const std::size_t n = s.size();
    char* d = s.data();
    std::size_t w = first, r = first;
    std::string pending;  // replacement bytes still to push, consumed from pendingPos
    std::size_t pendingPos = 0;
    while (true) {
        char c;
        if (pendingPos < pending.size()) {
            c = pending[pendingPos++];
        } else if (r < n) {
            KeepUpTo(d, w, r, n, last);
            if (r == n) break;
            c = d[r++];
        } else {
            break;
        }
        d[w++] = c;
        if (c == last && w >= m && std::memcmp(d + w - m, search.data(), m) == 0) {
            w -= m;
            std::string rest = pending.substr(pendingPos);
            pending.assign(replacement);
            pending += rest;
            pendingPos = 0;
        }
    }
    s.resize(w);
}

}  // namespace

void ReplaceAll(std::string& s, std::string_view search, std::string_view replacement) {
    if (search.empty()) return;
    std::size_t first = s.find(search);
    if (first == std::string::npos) return;
    if (replacement.find(search) != std::string_view::npos) {
        ReplaceOnce(s, search, replacement);
        return;
    }
    if (replacement.size() <= search.size()) {
        ShrinkInPlace(s, first, search, replacement);
        return;
    }
    // The restarting definition always replaces the occurrence that ends first. The output is
    // kept free of occurrences; every byte (of the input or of a replacement) is pushed onto it
    // and an occurrence can only appear at its end. Replacements are pushed through a pending
    // queue so that occurrences they form with their surroundings are found as well.
    const std::size_t m = search.size();
    const char last = search.back();
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    out.append(s, 0, first);
    std::string pending;  // replacement bytes still to push, consumed from pendingPos
    std::size_t pendingPos = 0;
    std::size_t in = first;
    const std::size_t n = s.size();
    while (true) {
        char c;
        if (pendingPos < pending.size()) {
            c = pending[pendingPos++];
        } else if (in < n) {
            if (!pending.empty()) {
                pending.clear();
                pendingPos = 0;
            }
            // Copy the stretch up to the next byte that could complete an occurrence.
            const void* hit = std::memchr(s.data() + in, last, n - in);
            std::size_t stop = hit ? static_cast<const char*>(hit) - s.data() : n;
            out.append(s, in, stop - in);
            in = stop;
            if (in == n) break;
            c = s[in++];
        } else {
            break;
        }
        out.push_back(c);
        if (c == last && out.size() >= m &&
            std::memcmp(out.data() + out.size() - m, search.data(), m) == 0) {
            out.resize(out.size() - m);
            // Whatever is still pending goes after the new replacement.
            std::string rest = pending.substr(pendingPos);
            pending.assign(replacement);
            pending += rest;
            pendingPos = 0;
        }
    }
    s = std::move(out);
}

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlphanumeric(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }

// What a numeric reference to 0x80 .. 0x9F stands for: the Windows-1252 character of that byte;
// 0 where the number keeps its own character.
constexpr char32_t kC1Characters[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The names in a hash table, built once: a page may hold hundreds of thousands of references.
class TNameTable {
  public:
    TNameTable() {
        for (std::size_t i = 0; i < kNamedReferenceCount; ++i) {
            std::size_t slot = Hash(kNamedReferences[i].name) & kMask;
            while (slots_[slot] != 0) slot = (slot + 1) & kMask;
            slots_[slot] = static_cast<std::uint16_t>(i + 1);
        }
    }

    const TNamedReference* Find(std::string_view name) const {
        for (std::size_t slot = Hash(name) & kMask; slots_[slot] != 0; slot = (slot + 1) & kMask) {
            const TNamedReference& r = kNamedReferences[slots_[slot] - 1];
            if (r.name == name) return &r;
        }
        return nullptr;
    }

  private:
    static constexpr std::size_t kSlots = 8192;  // more than three times the names
    static constexpr std::size_t kMask = kSlots - 1;

    static std::size_t Hash(std::string_view name) {
        std::uint32_t h = 2166136261u;
        for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        return h ^ (h >> 15);
    }

    std::array<std::uint16_t, kSlots> slots_{};
};

const TNamedReference* FindName(std::string_view name) {
    static const TNameTable table;
    return table.Find(name);
}

// The longest name without ';' in the table: no shorter prefix needs looking up.
std::size_t LongestBareName() {
    static const std::size_t longest = [] {
        std::size_t n = 0;
        for (std::size_t i = 0; i < kNamedReferenceCount; ++i)
            if (kNamedReferences[i].name.back() != ';')
                n = std::max(n, kNamedReferences[i].name.size());
        return n;
    }();
    return longest;
}

TReference ReadNumber(std::string_view s, TReferences where) {
    // s starts with "&#".
    std::size_t i = 2;
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex) ++i;
    const std::size_t digits = i;
    char32_t value = 0;
    for (; i < s.size(); ++i) {
        const int d = hex ? HexValue(s[i]) : (IsAsciiDigit(s[i]) ? s[i] - '0' : -1);
        if (d < 0) break;
        // Past the last code point the value only has to stay too large.
        if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    if (i == digits) return {};
    const bool semicolon = i < s.size() && s[i] == ';';
    if (semicolon)
        ++i;
    else if (where == TReferences::TextFile)
        return {};
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        value = 0xFFFD;
    else if (value >= 0x80 && value <= 0x9F && kC1Characters[value - 0x80] != 0)
        value = kC1Characters[value - 0x80];
    return {i, value, 0};
}

}  // namespace

TReference ReadReference(std::string_view s, TReferences where) {
    if (s.size() < 2 || s[0] != '&' || where == TReferences::None) return {};
    if (s[1] == '#') return ReadNumber(s, where);
    if (!IsAlphanumeric(s[1])) return {};
    std::size_t run = 1;
    while (run < s.size() && IsAlphanumeric(s[run])) ++run;
    // The name with its ';' is the longest match there can be; no name is longer than 32.
    if (run < s.size() && s[run] == ';' && run <= 32) {
        if (const TNamedReference* r = FindName(s.substr(1, run)))
            return {run + 1, r->first, r->second};
    }
    if (where == TReferences::TextFile) return {};
    for (std::size_t len = std::min(run - 1, LongestBareName()); len > 0; --len) {
        const TNamedReference* r = FindName(s.substr(1, len));
        if (!r) continue;
        const std::size_t end = 1 + len;
        // Inside a value, "&copy=1" and "&notx" stay as written: they were meant as text.
        if (where == TReferences::Attribute && end < s.size() &&
            (s[end] == '=' || IsAlphanumeric(s[end])))
            return {};
        return {end, r->first, r->second};
    }
    return {};
}

std::string DecodeReferences(std::string_view s, TReferences where) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = s.find('&'); at != std::string_view::npos; at = s.find('&', at + 1)) {
        const TReference r = ReadReference(s.substr(at), where);
        if (r.length == 0) continue;
        if (out.empty()) out.reserve(s.size());
        out.append(s, from, at - from);
        AppendUtf8(out, r.first);
        if (r.second) AppendUtf8(out, r.second);
        from = at + r.length;
        at = from - 1;
    }
    if (from == 0) return std::string(s);
    out.append(s, from, std::string_view::npos);
    return out;
}

}  // namespace quillfen
