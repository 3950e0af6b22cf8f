#pragma once

// The kinds of phrases, one entry each: everything the program knows of a kind is its entry
// here and, for a kind read from attributes, its rule in kinds.cpp. The scan, the Options
// dialog, the phrase list's tiles, quillfen-cli, TTags::AllKinds and the fuzzers read the table.
// The settings store keeps every bit of TTags as it is, known to a kind or not.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/markup/tokenizer.h"

namespace quillfen {

// In the table's order; a kind's number is its place there and its bit in TTags is 1 << number.
enum class TKind : std::uint8_t { Text, Image, Content, Attribute };
inline constexpr TKind kLastKind = TKind::Attribute;
inline constexpr std::size_t kKindCount = static_cast<std::size_t>(kLastKind) + 1;

enum class TTags : std::uint8_t;

// A start tag as a kind's rule sees it: its name as written and every attribute in order, a
// repeated name included (only its first gives a phrase, as browsers keep only the first).
struct TTagView {
    std::string_view name;
    std::span<const TAttribute> attributes;

    // Whether the tag has an attribute named lowerName (compared without regard to the case of
    // A to Z).
    bool Has(std::string_view lowerName) const;
};

struct TKindInfo {
    TKind Kind;
    std::uint8_t Bit;  // in TTags, as the settings store and --tags give it
    char Letter;       // in the CLI's phrase list
    const char* Name;  // in the CLI's help, in English
    const char* Icon;  // the name of its tile, which the window draws
    int Caption;       // string id of its check box's caption in the Options dialog
    const char* Box;   // the object name of that check box
    // Where the scan finds its phrases: the text between tags when empty, else the values of
    // these attributes (lower case), each where Takes says so. A tag gives a phrase for each
    // attribute taken, in attribute order; a value that two kinds' rules take is the first's.
    std::span<const std::string_view> Attributes;
    // Whether the value of a (one of Attributes, not empty, the first of its name) in tag gives a
    // phrase of this kind when chosen are the kinds to extract. Null: wherever it stands.
    bool (*Takes)(const TTagView& tag, const TAttribute& a, TTags chosen);
};

// Every kind, in the order of TKind.
const std::array<TKindInfo, kKindCount>& Kinds();
const TKindInfo& KindInfo(TKind kind);

// The bits of TTags that some kind has.
constexpr std::uint8_t KnownKindBits() { return static_cast<std::uint8_t>((1u << kKindCount) - 1); }

}  // namespace quillfen
