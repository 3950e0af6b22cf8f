#pragma once

#include <cstdint>
#include <string>

#include "entities.h"

namespace quillfen {

enum class TKind { Text, Image, Content };

// One phrase of the page.
struct TTextItem {
    std::uint32_t Number = 0;
    std::string Text;
    bool IsImage = false;
    bool IsContent = false;
    bool TrailingSpace = false;
    bool LeadingSpace = false;

    TTextItem() = default;
    TTextItem(std::uint32_t number, std::string text) : Number(number), Text(std::move(text)) {}
    static TTextItem Create(std::uint32_t number, std::string text) {
        return TTextItem(number, std::move(text));
    }

    // Normalises Text (nbsp and tabs to blanks, runs of blanks to one, one edge blank cut and
    // remembered, entities decoded); true when a non-empty phrase remains.
    bool Clean(const TEntityTables& tables = Windows1252Tables());

    TKind Kind() const {
        return IsImage ? TKind::Image : IsContent ? TKind::Content : TKind::Text;
    }
};

// The text written into the page for an item: edge blanks put back, encode table applied.
std::string EncodePhrase(const TTextItem& item, const TEntityTables& tables = Windows1252Tables());

}  // namespace quillfen
