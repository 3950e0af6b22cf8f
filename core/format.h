#pragma once

// The syntax of the two exchange files, spelled here and nowhere else. The template is the page
// with each phrase's span replaced by its marker "%_" k "_%", k counting from 0. The text file
// holds one line per phrase: the number tag "<" k+1 ">", the phrase, the end tag "</>". The
// document writes templates, the export writes text files, and recombination reads both.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfen {

inline constexpr std::string_view kMarkerOpen = "%_";
inline constexpr std::string_view kMarkerClose = "_%";
inline constexpr char kNumberTagOpen = '<';
inline constexpr char kNumberTagClose = '>';
inline constexpr std::string_view kEndTag = "</>";

// The marker of phrase k, and its length.
std::string PhraseMarker(std::size_t k);
std::size_t MarkerLength(std::size_t k);

// The first text of the form "%_" digits "_%" at or behind from, or npos; length gets its
// length. Recombination would take any such text in a template for a marker.
std::size_t FindMarkerText(std::string_view text, std::size_t from, std::size_t& length);

// Appends the text file's line of phrase k: number tag, text, end tag, CR LF. Recombination finds
// a phrase by its line, so a line break or a zero byte in text (CR LF counting as one) is written
// as a blank.
void AppendTextLine(std::string& out, std::size_t k, std::string_view text);

// The phrase that text line k holds: the line without as many bytes as the number tag k+1 and
// the end tag take. What the tags say is never read, so a translator's slip in a tag costs
// nothing; a line no longer than both gives an empty phrase.
std::string_view PhraseOfLine(std::string_view line, std::size_t k);

}  // namespace quillfen
