#pragma once

// The syntax of the two exchange files, spelled here and nowhere else. The template is the page
// with each phrase's span replaced by its marker "%_" k "_%", k counting from 0, in order, each
// once. The text file holds one line per phrase: the number tag "<" k+1 ">", the phrase, the end
// tag "</>". The document writes templates, the export writes text files, and recombination
// reads both.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

inline constexpr std::string_view kMarkerOpen = "%_";
inline constexpr std::string_view kMarkerClose = "_%";
inline constexpr char kNumberTagOpen = '<';
inline constexpr char kNumberTagClose = '>';
inline constexpr std::string_view kEndTag = "</>";

// A sentence whose inline tags are placeholders takes its marker and, right behind it, the table
// of its placeholders: "%{", for each placeholder in the sentence's order its name, "=", the
// length in bytes, ":" and the bytes of its start tag (or of all it carries), for a pair "/" and
// the same for its end tag, then ";"; and "%}" at the end. The tags' bytes are the template's,
// with the markers of the phrases inside them: "%_3_%%{b1=3:<b>/4:</b>;br2=4:<br>;%}".
inline constexpr std::string_view kTableOpen = "%{";
inline constexpr std::string_view kTableClose = "%}";

struct TTableEntry {
    std::string_view Name;
    bool Paired = false;
    std::string_view Open, Close;
};

// Appends one placeholder's entry of the table.
void AppendTableEntry(std::string& out, std::string_view name, std::string_view open, bool paired,
                      std::string_view close);
// Reads the table that starts at text[at] with kTableOpen into entries (views into text) and
// gives the position behind it, or npos where the table is damaged.
std::size_t ReadTable(std::string_view text, std::size_t at, std::vector<TTableEntry>& entries);

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

// How text line k reads.
enum class TTextLine {
    Phrase,      // "<" k+1 ">" phrase "</>"
    Malformed,   // no number tag and end tag
    OtherNumber  // a number tag, but not k+1's
};
// Reads text line k into phrase, or where it holds another number, that number tag as written
// into phrase. A translator's slip in a tag must not move a phrase into another's place, so the
// tags are read, not cut off by their lengths.
TTextLine ReadTextLine(std::string_view line, std::size_t k, std::string_view& phrase);

}  // namespace quillfen
