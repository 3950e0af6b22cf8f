#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillfen::testing {

// A page of about targetBytes: paragraphs with inline tags, images with alt texts, meta tags,
// comments on one and on several lines, entities, umlauts, and some very long lines.
std::string GeneratePage(std::size_t targetBytes, std::uint32_t seed = 1);

// One phrase of count "& " pairs.
std::string AmpersandPage(std::size_t count);
// One run of count blanks between two words.
std::string BlankRunPage(std::size_t count);

}  // namespace quillfen::testing
