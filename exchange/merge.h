#pragma once

// Merging a translation tool's file into the page it was exported from: each translated unit's
// target becomes its phrase's text through the editing service, as if typed and confirmed, and
// every other phrase keeps its bytes.

#include <optional>
#include <string>
#include <vector>

#include "core/document/editing.h"
#include "core/errors.h"
#include "exchange/formats.h"
#include "exchange/translation.h"

namespace quillfen {

struct TMergeOptions {
    // Merge into a page that is not the one exported (its stamp differs or the file has none):
    // units are matched by number and source text, and those that no longer match are reported
    // and left alone.
    bool Force = false;
    // Keep going past units that fail, reporting them, instead of writing nothing.
    bool SkipBad = false;
};

struct TMergeReport {
    std::size_t Translated = 0;  // phrases that took a target (unchanged ones included)
    std::size_t Kept = 0;        // phrases whose units bring no translation
    std::size_t LeftOut = 0;     // units left alone for a fault (SkipBad, Force)
    // The first of them (kReportedProblems at most), each naming its unit.
    std::vector<TError> Problems;
};
inline constexpr std::size_t kReportedProblems = 100;

// Whether a file of that stamp was exported from document as it stands now, cut into phrases the
// same way: only then do its numbers name the same phrases. A merge of any other file needs
// Force.
bool IsExportOf(const TDocument& document, const std::optional<TSourceStamp>& stamp);

// How a page is cut into phrases for a file's numbers to name them: as the file's stamp says it
// was cut when exported (its kinds and units), else as the caller reads pages.
struct TPageCut {
    TTags Tags = TTags::Default;
    TUnits Units = TUnits::Runs;
};
TPageCut CutForMerge(const std::optional<TSourceStamp>& stamp, TPageCut otherwise);

// Writes the units' translations into document as one step of its history, written once by
// write. Every unit is checked against its phrase, whatever the stamp: its id names a phrase, the
// kind it names (if any) is the phrase's, and its source reads as the phrase's text; no other
// unit names the phrase (a unit a tool added beside ours, Added, may give ours its target); its
// target is no longer than MaxTargetBytes of its source, nor all targets together than
// MaxTargetBytes of the page; it holds inline markup only for a phrase with placeholders, and
// then only g and x; it is a phrase text (no line break, something left once cleaned) with the
// sentence's placeholders. A faulty unit refuses the merge (TError naming the unit and the fault,
// nothing changed or written) unless SkipBad, which leaves it out and reports it, as a forced
// merge reports a unit that no longer matches its phrase. A file whose stamp does not match the
// document is refused unless Force. The report counts phrases, not units.
TMergeReport MergeTranslation(TDocument& document, TUnitReader& units, const TMergeOptions& options,
                              const TWrite& write);
TMergeReport MergeTranslation(TDocument& document, const TTranslationFile& file,
                              const TMergeOptions& options, const TWrite& write);

// The stamp the translation file at path carries, read from its start only.
std::optional<TSourceStamp> ReadTranslationStamp(const TExchangeFormat& format,
                                                 const std::string& path);
// Merges the translation file at path, read unit by unit as it is merged, keeping of its texts
// only what could be the document's (TReadLimits): memory stays within a bound of the page's
// size, whatever the file's.
TMergeReport MergeTranslationFile(TDocument& document, const TExchangeFormat& format,
                                  const std::string& path, const TMergeOptions& options,
                                  const TWrite& write);

}  // namespace quillfen
