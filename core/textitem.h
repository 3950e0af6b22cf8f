#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/markup/entities.h"
#include "core/markup/kinds.h"
#include "core/text/encoding.h"

namespace quillfen {

// Whether a text holds nothing but blanks, tabs and non-breaking spaces: such a text only
// holds a table cell or a line open, and there is nothing to translate.
bool OnlyLayout(std::string_view text);

// Whether a character of a text, as written or as a reference gives it, is white space that a
// browser collapses with its neighbours into one blank.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One phrase of the page.
struct TTextItem {
    std::uint32_t Number = 0;
    std::string Text;
    bool TrailingSpace = false;
    bool LeadingSpace = false;
    // A line of a pre, listing, xmp or textarea block: its blanks and tabs are its layout, so
    // neither the scan nor a replacement collapses them.
    bool Preformatted = false;
    // What the page's author notes for the translator of a text (its-loc-note on the element or
    // one around it); empty if nothing.
    std::string Note;

    TTextItem() = default;
    TTextItem(std::uint32_t number, std::string text) : Number(number), Text(std::move(text)) {}

    // Turns Text from the page's bytes into the text a browser shows (the encoding removed,
    // character references decoded as read where they stand) and normalises it: tabs and line
    // breaks to blanks, runs of blanks to one, one edge blank cut and remembered. True when a
    // phrase remains: something other than blanks and non-breaking spaces.
    bool Clean(const TEncodingInfo& encoding = {}, TReferences where = TReferences::Text);

    TKind Kind() const { return kind_; }
    void SetKind(TKind kind) { kind_ = kind; }

  private:
    TKind kind_ = TKind::Text;
};

// A text the user typed, made ready to become a phrase: runs of blanks become one blank and the
// blanks at its edges go. A preformatted phrase keeps its inner blanks.
std::string NormaliseEntry(std::string_view text, bool preformatted = false);

}  // namespace quillfen
