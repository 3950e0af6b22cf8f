#pragma once

// The preview finds each phrase in the browser by an invisible comment in front of it, its
// anchor. Matching phrases to the browser's text nodes in order would drift at the first node
// that the scan and the browser's parser see differently; a numbered comment cannot.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/markup/scan.h"

namespace quillfen {

class TDocument;

constexpr std::uint32_t kNoAnchor = 0xFFFFFFFFu;

// "<!--qf:N-->"
std::string AnchorComment(std::size_t n);

// For each phrase, the offset in page (the bytes its spans were found in) in front of which its
// anchor goes: a text phrase's first character (a sentence's, or the tag it starts with), or the
// '<' of the tag that holds an attribute phrase. kNoAnchor where the browser would show the comment
// as text or not as a node in the page (title, textarea, xmp, plaintext and the elements whose
// content it never parses), and where the span lies in no tag the scan would read.
std::vector<std::uint32_t> AnchorPlaces(std::string_view page,
                                        const std::vector<TPhraseSpan>& spans);

// The characters other than HTML's blanks that phrase i shows when it is a sentence, which flows
// over inline elements: by their count the preview finds where the sentence ends. 0 for other
// phrases, each of which is one text or element.
std::size_t SentenceCharacters(const TDocument& doc, std::size_t i);
// The same for a sentence's text given in its textual form.
std::size_t SentenceCharacters(std::string_view text);

// page with AnchorComment(k) in front of places[k]. Places that do not ascend are left out.
std::string InsertAnchors(std::string_view page, const std::vector<std::uint32_t>& places);

// The bytes of the page file as saved (Bom() included) with the anchors of doc's phrases. The
// anchors are placed by doc's spans, moved by the phrases written anew; saved must be what doc
// renders. Bytes that are not (another program wrote the file) come back without anchors.
std::string AnchoredPage(const TDocument& doc, std::string_view saved);

}  // namespace quillfen
