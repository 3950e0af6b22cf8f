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

// ReplaceAll for a one-byte replacement, leaving alone every occurrence that a character
// reference follows (see StartsCharacterReference).
void ReplaceAllBeforeNoReference(std::string& s, std::string_view search, char replacement);

// Whether text, standing right after an '&', makes a browser read a character reference: a
// name and ';', a '#' and a digit, "#x" and a hex digit, or one of the names browsers take even
// without ';' ("&copy", "&uuml").
bool StartsCharacterReference(std::string_view text);

struct TEntityRow {
    std::string search;
    std::string replacement;
    // For the row that gives '&' back: an occurrence directly followed by what a browser reads as
    // a character reference ("&amp;uuml;", "&amp;#228;") is left alone, since decoding it would
    // make the text an entity of its own, which saving writes back as the character. The
    // replacement of such a row is a single byte.
    bool keepBeforeReference = false;
};

// The decode and encode tables of one page encoding, applied row by row in their order.
struct TEntityTables {
    TEntityTables(std::string name, std::vector<TEntityRow> decode, std::vector<TEntityRow> encode,
                  std::string nbsp = {});

    std::string name;
    std::vector<TEntityRow> decode;
    std::vector<TEntityRow> encode;
    // The page's bytes of the non-breaking space that decoding &nbsp; gives; empty where &nbsp;
    // stays an entity.
    std::string nbsp;
    // Bytes that start some search text: a text holding none of them is left as it is.
    std::array<bool, 256> decodeStarts{};
    std::array<bool, 256> encodeStarts{};
    // The byte every decode search text starts with, or -1 when they differ.
    int decodeStart = -1;
};

// Single-byte pages (Windows-1252): umlauts, sharp s and the non-breaking space as single bytes.
const TEntityTables& Windows1252Tables();

void Decode(std::string& s, const TEntityTables& tables);
void Encode(std::string& s, const TEntityTables& tables);

}  // namespace quillfen
