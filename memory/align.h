#pragma once

// A page and its translation made by replacing phrases (Quillfen's own kind of translated page:
// the same markup, phrase for phrase) become units, phrase i with phrase i.

#include <cstddef>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "memory/memory.h"

namespace quillfen {

struct TAlignment {
    std::vector<TUnit> Units;
    // Phrases left out because the translation reads as the source: untranslated.
    std::size_t Untranslated = 0;
};

// Both documents read with the same kinds and units. Everything but the phrases must be the same
// bytes: between phrases, and a sentence's tags, which the translation may put in another order
// (its placeholders are renamed after the source's by their tags). Pages that part anywhere else
// are refused with PagesPartError, naming the first place in each (line and byte of the file).
// The paths name the pages in the error; the source's file name is the units' page.
TAlignment AlignPages(const TDocument& source, const std::string& sourcePath,
                      const TDocument& translated, const std::string& translatedPath,
                      const TLanguagePair& languages);

}  // namespace quillfen
