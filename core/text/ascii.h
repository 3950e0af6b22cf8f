#pragma once

// ASCII-only case and digit rules: HTML compares tag, attribute and charset names without regard
// to the case of A to Z only, and a hex digit is one of 0-9, A-F, a-f in every escape we read.

#include <string>
#include <string_view>

namespace quillfen {

constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

constexpr char LowerAZ(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAZ(c);
    return out;
}

// Whether name is lower (already in lower case), A to Z compared without regard to case.
constexpr bool EqualsNoCase(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (LowerAZ(name[i]) != lower[i]) return false;
    return true;
}

// Whether a and b are equal, A to Z compared without regard to case on both sides.
constexpr bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAZ(a[i]) != LowerAZ(b[i])) return false;
    return true;
}

// The entity HTML and XML both read for &, <, > and ", which text and attribute values escape
// alike; empty for any other character.
constexpr std::string_view MarkupEntity(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return {};
    }
}

// The value of a hex digit, or -1.
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace quillfen
