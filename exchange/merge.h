#pragma once

// Merging a translation tool's file into the page it was exported from: each translated unit's
// target becomes its phrase's text through the editing service, as if typed and confirmed, and
// every other phrase keeps its bytes.

#include <string>
#include <vector>

#include "core/editing.h"
#include "core/errors.h"
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
    std::size_t Kept = 0;        // units without a translation
    // Each unit left alone for a fault (SkipBad, Force), naming the unit.
    std::vector<TError> Problems;
};

// Whether file was exported from document as it stands now, cut into phrases the same way: only
// then do its numbers name the same phrases. A merge of any other file needs Force.
bool IsExportOf(const TDocument& document, const TTranslationFile& file);

// Writes the file's translations into document as one step of its history, written once by
// write. Refuses (TError, naming the unit and the fault, nothing changed or written): a file
// whose stamp does not match the document (unless Force), an unknown id, a target that is no
// phrase text (line break, empty once cleaned) or lacks, adds or breaks a placeholder.
TMergeReport MergeTranslation(TDocument& document, const TTranslationFile& file,
                              const TMergeOptions& options, const TWrite& write);

}  // namespace quillfen
