#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

// Replaces every occurrence of search in s, searching again from the start after each
// replacement, so that occurrences formed by a replacement with its surroundings are replaced
// too. Runs in one pass over s. A replacement that contains its own search text would never
// terminate under that definition; such a call replaces the occurrences of the original string
// once, left to right, instead.
void ReplaceAll(std::string& s, std::string_view search, std::string_view replacement);

struct TEntityRow {
    std::string search;
    std::string replacement;
};

// The decode and encode tables of one page encoding, applied row by row in their order.
struct TEntityTables {
    std::string name;
    std::vector<TEntityRow> decode;
    std::vector<TEntityRow> encode;
};

// Single-byte pages (Windows-1252): umlauts and sharp s as single bytes.
const TEntityTables& Windows1252Tables();

void Decode(std::string& s, const TEntityTables& tables);
void Encode(std::string& s, const TEntityTables& tables);

}  // namespace quillfen
