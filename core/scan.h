#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "buffer.h"
#include "entities.h"
#include "template.h"
#include "textitem.h"

namespace quillfen {

// Bits of Tags: which kinds of phrases the scan extracts.
constexpr std::uint8_t kTagPlainText = 1;
constexpr std::uint8_t kTagImageAlt = 2;
constexpr std::uint8_t kTagContent = 4;
constexpr std::uint8_t kDefaultTags = kTagPlainText | kTagImageAlt;

// "%_" N "_%"
std::string PhraseMarker(std::size_t n);
std::size_t MarkerLength(std::size_t n);

struct TAttributeHit {
    TKind kind = TKind::Text;  // Image or Content when value is not empty
    std::string_view value;  // a view into the tag's text
    std::size_t place = 0;  // 0-based offset of the value's first character in the tag's text
};

// Finds the first alt="... (or, failing that, content="...) value of a tag's text.
TAttributeHit ScanAttribute(std::string_view tag, std::uint8_t tags);

// Where the scan put a phrase's marker: entry of the template and offset in it.
struct TMarkerPlace {
    std::size_t entry = 0;
    std::size_t offset = 0;
};

struct TScanResult {
    std::vector<TTextItem> Phrases;
    TTemplate Template;
    std::vector<TMarkerPlace> Markers;  // parallel to Phrases
    // The row strings that differ from their phrase's text: an alternative text or content
    // value is listed as it stands in the tag. (phrase number, value), in phrase order.
    std::vector<std::pair<std::size_t, std::string>> RawRows;

    std::size_t PhraseCount() const { return Phrases.size(); }
    // The list string of phrase i.
    std::string_view Row(std::size_t i) const;
    // Gives phrase i a new text, which its row shows from then on.
    void SetText(std::size_t i, std::string text);
};

// The extraction scan over the prepared buffer. progress gets one step per line, continuing
// from startPosition.
TScanResult ExtractPhrases(const TLineViews& lines, std::uint8_t tags,
                           const TEntityTables& tables = Windows1252Tables(),
                           const TProgress& progress = {}, std::size_t startPosition = 0,
                           std::size_t progressMaximum = 0);
TScanResult ExtractPhrases(const TLines& lines, std::uint8_t tags,
                           const TEntityTables& tables = Windows1252Tables(),
                           const TProgress& progress = {}, std::size_t startPosition = 0,
                           std::size_t progressMaximum = 0);

std::uint64_t CountWords(std::string_view s);
std::uint64_t TotalWords(const std::vector<TTextItem>& phrases);

}  // namespace quillfen
