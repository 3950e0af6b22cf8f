#pragma once

// A page and its translation made by replacing phrases (Quillfen's own kind of translated page:
// the same markup, phrase for phrase), paired phrase i with phrase i. The checks over a page and
// its translation (checks/pages) and the alignment into a memory (memory/align) read such pages
// by this one rule, each telling a parting in its own error.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/document/document.h"

namespace quillfen {

// The first place where the pages part outside their phrases.
struct TPagesPart {
    // The phrase (from 0) before which, or in whose sentence tags, they part; the smaller
    // count of phrases when they part behind the last phrase both have.
    std::size_t Phrase = 0;
    // Where in each page (offsets into Page()).
    std::size_t SourceAt = 0, TranslatedAt = 0;
};

// What becomes of a sentence's tag that the other page's sentence lacks.
enum class TUnpairedTags {
    Part,    // the pages part there (an alignment takes nothing it cannot pair)
    Rename,  // the translation's takes a name the source's placeholders do not use, so that a
             // check of the placeholders finds it, and the source's is missing from the text
};

struct TPagePairing {
    // Translated phrase i's text, a sentence's placeholders named as the source names them: each
    // is known by its tags' bytes with the phrases inside them cut out (an image's alt
    // translated is still the same image), the k-th of equal tags in one page being the k-th in
    // the other. Up to where the pages part.
    std::vector<std::string> Texts;
    std::optional<TPagesPart> Part;
};

// Pairs the phrases of two pages read with the same kinds and units. Between the outermost
// phrases (those inside no sentence) the pages must hold the same bytes, and each pair of
// phrases the same kind, source and nesting; both must have as many phrases.
TPagePairing PairPages(const TDocument& source, const TDocument& translated,
                       TUnpairedTags unpaired);

}  // namespace quillfen
