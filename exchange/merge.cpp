#include "exchange/merge.h"

#include <charconv>
#include <map>

#include "core/errors.h"

namespace quillfen {

namespace {

// The phrase (from 0) that a unit's id names, or nullopt.
std::optional<std::size_t> PhraseOfUnit(const TDocument& document, std::string_view id) {
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
    if (ec != std::errc() || end != id.data() + id.size() || n == 0 || n > document.PhraseCount())
        return std::nullopt;
    return n - 1;
}

}  // namespace

bool IsExportOf(const TDocument& document, const TTranslationFile& file) {
    return file.Stamp && *file.Stamp == StampOf(document);
}

TMergeReport MergeTranslation(TDocument& document, const TTranslationFile& file,
                              const TMergeOptions& options, const TWrite& write) {
    // Numbers name phrases only in the page the file was made from, cut the same way.
    const bool samePage = IsExportOf(document, file);
    if (!samePage && !options.Force) throw TranslationOfOtherPageError();
    TMergeReport report;
    TPhraseTexts texts;  // the checked targets, by phrase
    auto fail = [&](const TError& error) {
        if (!options.SkipBad) throw error;
        report.Problems.push_back(error);
    };
    for (const TTranslationUnit& unit : file.Units) {
        const std::optional<std::size_t> phrase = PhraseOfUnit(document, unit.Id);
        if (!phrase) {
            fail(UnknownUnitError(unit.Id, unit.Line));
            continue;
        }
        // In another page a number may name another phrase: only one that still reads as the
        // unit's source takes its translation.
        if (!samePage && document.Text(*phrase) != unit.Source) {
            report.Problems.push_back(SourceChangedUnitError(unit.Id, unit.Line));
            continue;
        }
        if (!unit.Target) {
            ++report.Kept;
            continue;
        }
        try {
            // Units come in page order: each goes in at the end.
            texts.Add(*phrase, CheckedText(document, *phrase, *unit.Target));
            ++report.Translated;
        } catch (const TError& error) {
            fail(MergeUnitError(unit.Id, unit.Line, error));
        }
    }
    ReplaceCheckedPhrases(document, std::move(texts), write);
    return report;
}

}  // namespace quillfen
