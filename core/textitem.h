#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/entities.h"

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
    // A line of a pre, listing, xmp or textarea block: its blanks and tabs are its layout, so
    // neither the scan nor a replacement collapses them.
    bool Preformatted = false;

    TTextItem() = default;
    TTextItem(std::uint32_t number, std::string text) : Number(number), Text(std::move(text)) {}

    // Normalises Text (tabs to blanks, runs of blanks to one, one edge blank cut and remembered,
    // entities decoded); true when a phrase remains: something other than blanks and
    // non-breaking spaces.
    bool Clean(const TEntityTables& tables = Windows1252Tables());

    TKind Kind() const { return IsImage ? TKind::Image : IsContent ? TKind::Content : TKind::Text; }
};

// The encode table applied to a text alone.
std::string EncodeText(std::string_view text, const TEntityTables& tables = Windows1252Tables());

// A text the user typed, made ready to become a phrase: runs of blanks become one blank and the
// blanks at its edges go. A preformatted phrase keeps its inner blanks.
std::string NormaliseEntry(std::string_view text, bool preformatted = false);

}  // namespace quillfen
