#pragma once

#include <cstdint>

#include "core/markup/kinds.h"

namespace quillfen {

// Which kinds of phrases the scan extracts, one bit a kind (its entry in core/markup/kinds.h), as
// the settings store and the command line give them. The other bits mean nothing to the scan; they
// come from the store and go back to it as they were.
enum class TTags : std::uint8_t {
    None = 0,
    PlainText = 1,      // the text between tags
    ImageAlt = 2,       // the alternative text of images
    Content = 4,        // the content values of the page's header
    AttributeText = 8,  // titles, labels, placeholders, button texts
    Default = PlainText | ImageAlt,
    AllKinds = KnownKindBits(),
};

constexpr std::uint8_t Bits(TTags tags) { return static_cast<std::uint8_t>(tags); }

constexpr TTags operator|(TTags a, TTags b) { return TTags(Bits(a) | Bits(b)); }
constexpr TTags operator&(TTags a, TTags b) { return TTags(Bits(a) & Bits(b)); }

// Whether tags holds any of kinds.
constexpr bool HasAny(TTags tags, TTags kinds) { return (tags & kinds) != TTags::None; }

// The bit of one kind.
constexpr TTags KindBit(TKind kind) { return TTags(1u << static_cast<unsigned>(kind)); }

// tags with kind switched on or off, every other bit kept.

constexpr TTags With(TTags tags, TTags kind, bool on) {
    return TTags(on ? Bits(tags) | Bits(kind) : Bits(tags) & ~Bits(kind));
}

}  // namespace quillfen
