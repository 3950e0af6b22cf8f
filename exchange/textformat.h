#pragma once

// The formats of the two exchange files in one place: the text file's lines "<" N ">" text "</>"
// with N counting from 1, and the template's phrase markers "%_" k "_%" with k counting from 0
// (PhraseMarker, which the core's template writer shares).

#include <cstddef>
#include <string>
#include <string_view>

#include "core/scan.h"

namespace quillfen {

inline constexpr std::string_view kEndTag = "</>";

// Appends the text file's line of phrase k: "<" k+1 ">" text "</>" CR LF. Recombination finds a
// phrase by its line, so a line break or a zero byte in text (CR LF counting as one) is written
// as a blank.
void AppendTextLine(std::string& out, std::size_t k, std::string_view text);

// The phrase that text line k holds: the line without as many bytes as the number tag k+1 and
// the end tag take. What the tags say is never read; a line no longer than both gives an empty
// phrase.
std::string_view PhraseOfLine(std::string_view line, std::size_t k);

// The first text of the form "%_" digits "_%" at or behind from, or npos; length gets its
// length.
std::size_t FindMarkerText(std::string_view text, std::size_t from, std::size_t& length);

// How the phrase of a marker standing at templ[at] is written: the byte in front of it (blanks
// and tabs passed over) tells an attribute value, and its quote style, from text.
TSource SourceOfMarker(std::string_view templ, std::size_t at);

}  // namespace quillfen
