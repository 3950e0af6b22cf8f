#include "entities.h"

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

}  // namespace

void ReplaceAll(std::string& s, std::string_view search, std::string_view replacement) {
    if (search.empty()) return;
    std::size_t first = s.find(search);
    if (first == std::string::npos) return;
    if (replacement.find(search) != std::string_view::npos) {
        ReplaceOnce(s, search, replacement);
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

const TEntityTables& Windows1252Tables() {
    static const TEntityTables tables{
        "Windows-1252",
        {
            {"&uuml;", "\xFC"},
            {"&auml;", "\xE4"},
            {"&ouml;", "\xF6"},
            {"&Uuml;", "\xDC"},
            {"&Auml;", "\xC4"},
            {"&Ouml;", "\xD6"},
            {"&quot;", "\""},
            {"&amp;", "&"},
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
        },
    };
    return tables;
}

void Decode(std::string& s, const TEntityTables& tables) {
    // Every search text of a decode table starts with '&'.
    if (s.find('&') == std::string::npos) return;
    for (const auto& row : tables.decode) ReplaceAll(s, row.search, row.replacement);
}

void Encode(std::string& s, const TEntityTables& tables) {
    for (const auto& row : tables.encode) ReplaceAll(s, row.search, row.replacement);
}

}  // namespace quillfen
