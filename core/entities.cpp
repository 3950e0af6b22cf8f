#include "core/entities.h"

#include <cstring>

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

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The names that HTML reads as references even when no ';' ends them.
constexpr std::string_view kNamesWithoutSemicolon[] = {
    "AElig",  "AMP",    "Aacute", "Acirc",  "Agrave", "Aring",  "Atilde", "Auml",   "COPY",
    "Ccedil", "ETH",    "Eacute", "Ecirc",  "Egrave", "Euml",   "GT",     "Iacute", "Icirc",
    "Igrave", "Iuml",   "LT",     "Ntilde", "Oacute", "Ocirc",  "Ograve", "Oslash", "Otilde",
    "Ouml",   "QUOT",   "REG",    "THORN",  "Uacute", "Ucirc",  "Ugrave", "Uuml",   "Yacute",
    "aacute", "acirc",  "acute",  "aelig",  "agrave", "amp",    "aring",  "atilde", "auml",
    "brvbar", "ccedil", "cedil",  "cent",   "copy",   "curren", "deg",    "divide", "eacute",
    "ecirc",  "egrave", "eth",    "euml",   "frac12", "frac14", "frac34", "gt",     "iacute",
    "icirc",  "iexcl",  "igrave", "iquest", "iuml",   "laquo",  "lt",     "macr",   "micro",
    "middot", "nbsp",   "not",    "ntilde", "oacute", "ocirc",  "ograve", "ordf",   "ordm",
    "oslash", "otilde", "ouml",   "para",   "plusmn", "pound",  "quot",   "raquo",  "reg",
    "sect",   "shy",    "sup1",   "sup2",   "sup3",   "szlig",  "thorn",  "times",  "uacute",
    "ucirc",  "ugrave", "uml",    "uuml",   "yacute", "yen",    "yuml",
};

}  // namespace

bool StartsCharacterReference(std::string_view text) {
    if (text.empty()) return false;
    if (text[0] == '#') {
        if (text.size() > 1 && IsAsciiDigit(text[1])) return true;
        return text.size() > 2 && (text[1] == 'x' || text[1] == 'X') && IsHexDigit(text[2]);
    }
    if (!IsAsciiLetter(text[0])) return false;
    // No entity name is longer than 31 characters.
    std::size_t i = 1;
    while (i < text.size() && i < 32 && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]))) ++i;
    if (i < text.size() && text[i] == ';') return true;
    for (std::string_view name : kNamesWithoutSemicolon)
        if (text.substr(0, name.size()) == name) return true;
    return false;
}

void ReplaceAllBeforeNoReference(std::string& s, std::string_view search, char replacement) {
    if (search.empty()) return;
    const std::size_t first = s.find(search);
    if (first == std::string::npos) return;
    // As ReplaceAll: the kept bytes hold no occurrence but the ones left alone, so a new one can
    // only end at the byte just kept. The replacement takes one byte, so the kept bytes never
    // overtake the unread ones and share the string with them.
    const std::size_t m = search.size();
    const char last = search.back();
    const std::size_t n = s.size();
    char* d = s.data();
    std::size_t w = first, r = first;
    while (r < n) {
        KeepUpTo(d, w, r, n, last);
        if (r == n) break;
        d[w++] = d[r++];
        while (w >= m && d[w - 1] == last && std::memcmp(d + w - m, search.data(), m) == 0 &&
               !StartsCharacterReference(std::string_view(d + r, n - r))) {
            w -= m;
            d[w++] = replacement;
            if (m == 1 && search[0] == replacement) break;
        }
    }
    s.resize(w);
}

TEntityTables::TEntityTables(std::string name_, std::vector<TEntityRow> decode_,
                             std::vector<TEntityRow> encode_, std::string nbsp_)
    : name(std::move(name_)),
      decode(std::move(decode_)),
      encode(std::move(encode_)),
      nbsp(std::move(nbsp_)) {
    for (const auto& row : decode) decodeStarts[static_cast<unsigned char>(row.search[0])] = true;
    for (const auto& row : decode) {
        const int first = static_cast<unsigned char>(row.search[0]);
        if (decodeStart == -1) decodeStart = first;
        if (decodeStart != first) decodeStart = -2;
    }
    if (decodeStart < 0) decodeStart = -1;
    for (const auto& row : encode) encodeStarts[static_cast<unsigned char>(row.search[0])] = true;
}

namespace {

bool HoldsAnyOf(std::string_view s, const std::array<bool, 256>& starts) {
    for (unsigned char c : s)
        if (starts[c]) return true;
    return false;
}

}  // namespace

const TEntityTables& Windows1252Tables() {
    static const TEntityTables tables{
        "Windows-1252",
        {
            {"&nbsp;", "\xA0"},
            {"&uuml;", "\xFC"},
            {"&auml;", "\xE4"},
            {"&ouml;", "\xF6"},
            {"&Uuml;", "\xDC"},
            {"&Auml;", "\xC4"},
            {"&Ouml;", "\xD6"},
            {"&quot;", "\""},
            {"&amp;", "&", true},
            {"&lt;", "<"},
            {"&gt;", ">"},
            {"&szlig;", "\xDF"},
        },
        {
            {"& ", "&amp; "},
            {"\xE4", "&auml;"},
            {"\xF6", "&ouml;"},
            {"\xFC", "&uuml;"},
            {"\"", "&quot;"},
            {"\xDC", "&Uuml;"},
            {"\xC4", "&Auml;"},
            {"\xD6", "&Ouml;"},
            {"<", "&lt;"},
            {">", "&gt;"},
            {"\xDF", "&szlig;"},
            {"\xA0", "&nbsp;"},
        },
        "\xA0",
    };
    return tables;
}

void Decode(std::string& s, const TEntityTables& tables) {
    // Entity names all start with '&': the library's search beats a table walk there.
    if (tables.decodeStart >= 0 ? !std::memchr(s.data(), tables.decodeStart, s.size())
                                : !HoldsAnyOf(s, tables.decodeStarts))
        return;
    for (const auto& row : tables.decode) {
        if (row.keepBeforeReference && row.replacement.size() == 1)
            ReplaceAllBeforeNoReference(s, row.search, row.replacement[0]);
        else
            ReplaceAll(s, row.search, row.replacement);
    }
}

void Encode(std::string& s, const TEntityTables& tables) {
    if (!HoldsAnyOf(s, tables.encodeStarts)) return;
    for (const auto& row : tables.encode) ReplaceAll(s, row.search, row.replacement);
}

}  // namespace quillfen
