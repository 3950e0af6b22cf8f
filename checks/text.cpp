#include "checks/text.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/text/ascii.h"
#include "core/text/utf8.h"

#ifdef QUILLFEN_SENTENCES
#include <unicode/uchar.h>
#endif

namespace quillfen::checks {

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

void Decode(std::string_view text, std::u32string& out) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(text, i, c);
        out += len ? c : char32_t(0xFFFD);
        i += len ? len : 1;
    }
}

// A tag written as text at text[at] ('<' there): "<" "/"? name, then "/"? ">" or blanks and
// anything but '<' up to '>'. Its length, and its form and name in mark.
std::size_t TagAt(std::string_view text, std::size_t at, TMark& mark) {
    std::size_t i = at + 1;
    const bool close = i < text.size() && text[i] == '/';
    if (close) ++i;
    const std::size_t name = i;
    if (i >= text.size() || !IsAsciiLetter(text[i])) return 0;
    while (i < text.size() &&
           (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]) || text[i] == '-' || text[i] == ':'))
        ++i;
    const std::size_t nameEnd = i;
    if (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) {
        while (i < text.size() && text[i] != '>' && text[i] != '<') ++i;
    }
    if (i >= text.size() || text[i] != '>') return 0;
    const bool selfClosing = !close && text[i - 1] == '/';
    mark.Kind = TMark::Tag;
    mark.Name = close ? "</" : "<";
    for (std::size_t k = name; k < nameEnd; ++k) mark.Name += LowerAZ(text[k]);
    if (selfClosing) mark.Name += '/';
    mark.Written = std::string(text.substr(at, i + 1 - at));
    return i + 1 - at;
}

// A character reference written as text at text[at] ('&' there), with its ';'.
std::size_t ReferenceAt(std::string_view text, std::size_t at, TMark& mark) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        const std::size_t digits = i;
        while (i < text.size() && i - digits < 8 &&
               (IsAsciiDigit(text[i]) ||
                (hex && ((text[i] | 0x20) >= 'a' && (text[i] | 0x20) <= 'f'))))
            ++i;
        if (i == digits) return 0;
    } else {
        const std::size_t name = i;
        while (i < text.size() && i - name < 32 &&
               (IsAsciiLetter(text[i]) || (i > name && IsAsciiDigit(text[i]))))
            ++i;
        if (i == name) return 0;
    }
    if (i >= text.size() || text[i] != ';') return 0;
    mark.Kind = TMark::Reference;
    mark.Written = std::string(text.substr(at, i + 1 - at));
    mark.Name = mark.Written;
    return i + 1 - at;
}

#ifndef QUILLFEN_SENTENCES
// Without ICU: the scripts of the languages pages are commonly written in, closely enough for
// checks that only warn.
bool FallbackUpper(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z';
    if (c < 0x100) return c >= 0xC0 && c <= 0xDE && c != 0xD7;
    if (c < 0x180) {
        if (c == 0x178) return true;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 == 1;
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c == 0x130;
        return c % 2 == 0;
    }
    if (c >= 0x386 && c <= 0x3AB) return c != 0x387 && c != 0x38B && c != 0x38D && c != 0x3A2;
    if (c >= 0x400 && c <= 0x42F) return true;
    if (c >= 0x460 && c <= 0x4FF) return c % 2 == 0;
    return false;
}

bool FallbackLower(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z';
    if (c < 0x100) return (c >= 0xDF && c != 0xF7) || c == 0xAA || c == 0xB5 || c == 0xBA;
    if (c < 0x180) return !FallbackUpper(c);
    if (c >= 0x3AC && c <= 0x3CE) return true;
    if (c >= 0x430 && c <= 0x45F) return true;
    if (c >= 0x460 && c <= 0x4FF) return c % 2 == 1;
    return false;
}

bool FallbackLetter(char32_t c) {
    if (c < 0x80) return IsAsciiLetter(char(c));
    if (c < 0x100)
        return (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0xAA || c == 0xB5 || c == 0xBA;
    if (DigitValue(c) >= 0 || IsBlank(c)) return false;
    if (c == 0x37E || c == 0x387 || (c >= 0x55A && c <= 0x55F) || c == 0x589 || c == 0x5BE ||
        c == 0x5C0 || c == 0x5C3 || c == 0x5F3 || c == 0x5F4 || c == 0x60C || c == 0x61B ||
        c == 0x61F || (c >= 0x66A && c <= 0x66D) || c == 0x6D4 || c == 0x964 || c == 0x965 ||
        c == 0x104A || c == 0x104B || (c >= 0x17D4 && c <= 0x17D6))
        return false;
    if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, shapes
    if (c >= 0x2E00 && c <= 0x2E7F) return false;
    if (c >= 0x3000 && c <= 0x303F) return c >= 0x3005 && c <= 0x3007;
    if (c >= 0xE000 && c <= 0xF8FF) return false;
    if (c >= 0xFE10 && c <= 0xFE6F) return false;
    if ((c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
        (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65) || c >= 0xFFF0)
        return c >= 0x10000;
    return true;
}

char32_t FallbackFold(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c < 0x100) return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c;
    if (c < 0x180) {
        if (c == 0x178) return 0xFF;
        if (c == 0x130) return 'i';
        return FallbackUpper(c) ? c + 1 : c;
    }
    if (c == 0x3C2) return 0x3C3;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x460 && c <= 0x4FF && c % 2 == 0) return c + 1;
    return c;
}
#endif

}  // namespace

TReading Read(std::string_view text, TUnits units) {
    TReading r;
    r.Chars.reserve(text.size());
    if (units == TUnits::Sentences) {
        for (TSentencePiece& piece : SentencePieces(text)) {
            if (piece.kind == TSentencePiece::Literal) {
                Decode(piece.text, r.Chars);
                continue;
            }
            TMark mark;
            mark.Kind = piece.kind == TSentencePiece::Open    ? TMark::Open
                        : piece.kind == TSentencePiece::Close ? TMark::Close
                                                              : TMark::Void;
            mark.At = std::uint32_t(r.Chars.size());
            mark.Name = std::move(piece.text);
            mark.Written = std::move(piece.written);
            r.Marks.push_back(std::move(mark));
        }
        return r;
    }
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '<' && text[i] != '&') continue;
        TMark mark;
        const std::size_t len = text[i] == '<' ? TagAt(text, i, mark) : ReferenceAt(text, i, mark);
        if (len == 0) continue;
        Decode(text.substr(from, i - from), r.Chars);
        mark.At = std::uint32_t(r.Chars.size());
        r.Marks.push_back(std::move(mark));
        // The page shows it as text: its characters stay for the other checks.
        from = i;
        i += len - 1;
    }
    Decode(text.substr(from), r.Chars);
    return r;
}

std::string Utf8(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char32_t c : s) AppendUtf8(out, c);
    return out;
}

bool IsLetter(char32_t c) {
    if (c < 0x80) return IsAsciiLetter(char(c));
#ifdef QUILLFEN_SENTENCES
    return (U_GET_GC_MASK(UChar32(c)) & (U_GC_L_MASK | U_GC_M_MASK)) != 0;
#else
    return FallbackLetter(c);
#endif
}

bool IsUpper(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z';
#ifdef QUILLFEN_SENTENCES
    return u_isupper(UChar32(c)) || u_istitle(UChar32(c));
#else
    return FallbackUpper(c);
#endif
}

bool IsLower(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z';
#ifdef QUILLFEN_SENTENCES
    return u_islower(UChar32(c));
#else
    return FallbackLower(c);
#endif
}

bool HasCase(char32_t c) { return IsUpper(c) || IsLower(c); }

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
#ifdef QUILLFEN_SENTENCES
    return char32_t(u_foldCase(UChar32(c), U_FOLD_CASE_DEFAULT));
#else
    return FallbackFold(c);
#endif
}

int DigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c < 0x660) return -1;
    // The zeros of the decimal digits of the scripts pages are written in; each is followed by
    // the other nine.
    static constexpr std::array<char32_t, 19> kZeros = {
        0x660, 0x6F0, 0x7C0, 0x966, 0x9E6, 0xA66,  0xAE6,  0xB66,  0xBE6, 0xC66,
        0xCE6, 0xD66, 0xE50, 0xED0, 0xF20, 0x1040, 0x17E0, 0x1810, 0xFF10};
    for (const char32_t zero : kZeros)
        if (c >= zero && c <= zero + 9) return int(c - zero);
    return -1;
}

bool IsBlank(char32_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool IsUnspacedScript(char32_t c) {
    return (c >= 0x0E00 && c <= 0x0EFF) ||  // Thai, Lao
           (c >= 0x1000 && c <= 0x109F) ||  // Myanmar
           (c >= 0x1780 && c <= 0x17FF) ||  // Khmer
           (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3005 && c <= 0x3007) ||
           (c >= 0x3021 && c <= 0x3029) || (c >= 0x3040 && c <= 0x30FF) ||
           (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x20000 && c <= 0x3FFFF);
}

unsigned LengthWeight(char32_t c) {
    if (c < 0x1100) return 1;
    if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0xFF66 && c <= 0xFF9F)) return 2;  // kana
    if ((c >= 0xAC00 && c <= 0xD7AF) || (c >= 0x1100 && c <= 0x11FF) ||
        (c >= 0x3130 && c <= 0x318F))
        return 2;  // Hangul
    if ((c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3400 && c <= 0x4DBF) ||
        (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0x20000 && c <= 0x3FFFF))
        return 3;  // Han
    return 1;
}

namespace {

bool IsAsciiAlnum(char32_t c) {
    return c < 0x80 && (IsAsciiLetter(char(c)) || IsAsciiDigit(char(c)));
}

// Where an address ends: at a blank, at what quotes or encloses it, and at the first character
// of a script written without blanks ("https://example.org/を参照").
bool EndsAddress(char32_t c) {
    return IsBlank(c) || c == '<' || c == '>' || c == '"' || c == 0xAB || c == 0xBB ||
           (c >= 0x2018 && c <= 0x201F) || (c >= 0x3000 && c <= 0x303F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || IsUnspacedScript(c) || c == 0xFFFD;
}

bool StartsWithNoCase(std::u32string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t k = 0; k < prefix.size(); ++k)
        if (text[at + k] >= 0x80 || LowerAZ(char(text[at + k])) != prefix[k]) return false;
    return true;
}

// The length of "scheme://", "www." or "mailto:" at text[at], 0 if none.
std::size_t AddressStart(std::u32string_view text, std::size_t at) {
    if (StartsWithNoCase(text, at, "www.")) return 4;
    if (StartsWithNoCase(text, at, "mailto:")) return 7;
    std::size_t i = at;
    if (i >= text.size() || text[i] >= 0x80 || !IsAsciiLetter(char(text[i]))) return 0;
    while (i < text.size() &&
           (IsAsciiAlnum(text[i]) || text[i] == '+' || text[i] == '.' || text[i] == '-'))
        ++i;
    if (i + 3 <= text.size() && text[i] == ':' && text[i + 1] == '/' && text[i + 2] == '/')
        return i + 3 - at;
    return 0;
}

// Drops what ends the sentence behind an address: punctuation, and a closing bracket that the
// address does not open.
std::size_t TrimAddress(std::u32string_view text, std::size_t begin, std::size_t end) {
    const auto part = text.substr(begin, end - begin);
    std::ptrdiff_t round =
        std::count(part.begin(), part.end(), U'(') - std::count(part.begin(), part.end(), U')');
    std::ptrdiff_t square =
        std::count(part.begin(), part.end(), U'[') - std::count(part.begin(), part.end(), U']');
    while (end > begin) {
        const char32_t c = text[end - 1];
        if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'' ||
            c == '-') {
            --end;
        } else if (c == ')' && round < 0) {
            ++round;
            --end;
        } else if (c == ']' && square < 0) {
            ++square;
            --end;
        } else {
            break;
        }
    }
    return end;
}

bool IsMailChar(char32_t c, bool local) {
    return IsAsciiAlnum(c) || c == '.' || c == '-' || (local && (c == '_' || c == '%' || c == '+'));
}

}  // namespace

std::vector<TRange> FindAddresses(std::u32string_view text) {
    std::vector<TRange> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i > 0 && (IsAsciiAlnum(text[i - 1]) || text[i - 1] == '.')) continue;
        const std::size_t head = AddressStart(text, i);
        if (head == 0) continue;
        std::size_t end = i + head;
        while (end < text.size() && !EndsAddress(text[end])) ++end;
        end = TrimAddress(text, i, end);
        if (end > i + head) {
            found.push_back({i, end});
            i = end - 1;
        }
    }
    // E-mail addresses outside the web addresses ("mailto:" holds its own).
    std::vector<TRange> mail;
    std::size_t next = 0;  // the first web address not yet passed
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '@') continue;
        while (next < found.size() && found[next].End <= at) ++next;
        if (next < found.size() && found[next].Begin <= at) continue;
        std::size_t begin = at;
        const std::size_t floor = next > 0 ? found[next - 1].End : 0;
        while (begin > floor && IsMailChar(text[begin - 1], true)) --begin;
        std::size_t end = at + 1;
        while (end < text.size() && IsMailChar(text[end], false)) ++end;
        while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == '-')) --end;
        while (begin < at && text[begin] == '.') ++begin;
        const auto domain = text.substr(at + 1, end - at - 1);
        if (begin == at || domain.find('.') == std::u32string_view::npos) continue;
        mail.push_back({begin, end});
        at = end - 1;
    }
    if (!mail.empty()) {
        found.insert(found.end(), mail.begin(), mail.end());
        std::sort(found.begin(), found.end(),
                  [](const TRange& a, const TRange& b) { return a.Begin < b.Begin; });
    }
    return found;
}

}  // namespace quillfen::checks
