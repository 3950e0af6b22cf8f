#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/text/utf8.h"

namespace quillfen {

// Replaces every occurrence of search in s, searching again from the start after each
// replacement, so that occurrences formed by a replacement with its surroundings are replaced
// too. Runs in one pass over s. A replacement that contains its own search text would never
// terminate under that definition; such a call replaces the occurrences of the original string
// once, left to right, instead.
void ReplaceAll(std::string& s, std::string_view search, std::string_view replacement);

// One named character reference of HTML: its name without the '&' (with the ';' where HTML
// writes it so; the legacy names are listed with and without) and its one or two characters.
struct TNamedReference {
    std::string_view name;
    char32_t first;
    char32_t second;  // 0 for a name of one character
};
// Every name of the HTML standard, sorted by name (core/markup/entitytable.cpp, generated).
extern const TNamedReference kNamedReferences[];
extern const std::size_t kNamedReferenceCount;

// Where a reference stands, which decides what counts as one.
enum class TReferences {
    Text,       // page text: every name and number, the legacy names also without ';'
    Attribute,  // an attribute value: a legacy name without ';' before '=' or a letter or digit
                // is text
    TextFile,   // the exchanged text file: only names and numbers ended by ';'
    None,       // a CDATA section in svg or math: every '&' is text
};

struct TReference {
    std::size_t length = 0;  // the bytes read, the '&' included; 0 when the '&' is text
    char32_t first = 0;
    char32_t second = 0;  // 0 when the reference gives one character
};

// The character reference that starts at s[0] (an '&'), read as HTML's tokenizer reads one:
// the longest name of the table, or '#' and decimal or "#x" and hexadecimal digits, with
// U+FFFD for 0, surrogates and numbers beyond U+10FFFF and the Windows-1252 characters for
// 0x80 to 0x9F.
TReference ReadReference(std::string_view s, TReferences where);

// s with every character reference replaced by its characters in UTF-8. Bytes that are no
// UTF-8 pass unchanged.
std::string DecodeReferences(std::string_view s, TReferences where);

}  // namespace quillfen
