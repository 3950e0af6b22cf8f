#include "memory/align.h"

#include <algorithm>

#include "core/document/pairing.h"
#include "core/errors.h"
#include "memory/pages.h"

namespace quillfen {

namespace {

std::size_t LineOf(const TDocument& doc, std::size_t at) {
    const std::string& bytes = doc.Bytes();
    const std::size_t end = std::min(bytes.size(), doc.Bom().size() + at);
    return 1 + static_cast<std::size_t>(std::count(
                   bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

}  // namespace

TAlignment AlignPages(const TDocument& source, const std::string& sourcePath,
                      const TDocument& translated, const std::string& translatedPath,
                      const TLanguagePair& languages) {
    const TPagePairing pairing = PairPages(source, translated, TUnpairedTags::Part);
    if (const std::optional<TPagesPart>& part = pairing.Part)
        throw PagesPartError(sourcePath, LineOf(source, part->SourceAt),
                             source.Bom().size() + part->SourceAt, translatedPath,
                             LineOf(translated, part->TranslatedAt),
                             translated.Bom().size() + part->TranslatedAt);
    const std::string pageName = PageName(sourcePath);
    TAlignment out;
    for (std::size_t i = 0; i < source.PhraseCount(); ++i) {
        TUnit unit;
        unit.Source = MemoryText(source, i);
        unit.Target = MemoryText(translated, i, pairing.Texts[i]);
        if (unit.Source == unit.Target) {
            ++out.Untranslated;
            continue;
        }
        unit.Codes = PhraseCodes(source, i);
        unit.Languages = languages;
        unit.Kind = source.Kind(i);
        unit.Context = PhraseContext(source, i, pageName);
        unit.Origin = TOrigin::Alignment;
        out.Units.push_back(std::move(unit));
    }
    return out;
}

}  // namespace quillfen
