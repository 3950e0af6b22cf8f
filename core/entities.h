#pragma once

#include <array>
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
    TEntityTables(std::string name, std::vector<TEntityRow> decode, std::vector<TEntityRow> encode);

    std::string name;
    std::vector<TEntityRow> decode;
    std::vector<TEntityRow> encode;
    // Bytes that start some search text: a text holding none of them is left as it is.
    std::array<bool, 256> decodeStarts{};
    std::array<bool, 256> encodeStarts{};
    // The byte every decode search text starts with, or -1 when they differ.
    int decodeStart = -1;
};

// Single-byte pages (Windows-1252): umlauts and sharp s as single bytes.
const TEntityTables& Windows1252Tables();

void Decode(std::string& s, const TEntityTables& tables);
void Encode(std::string& s, const TEntityTables& tables);
// False when the encode table would leave s as it is.
bool NeedsEncoding(std::string_view s, const TEntityTables& tables);

}  // namespace quillfen
