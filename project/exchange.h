#pragma once

// A project's progress, and its pages going out to a translation tool and coming back.

#include <string>
#include <vector>

#include "core/errors.h"
#include "exchange/merge.h"
#include "project/projectfile.h"
#include "project/state.h"

namespace quillfen::project {

struct TPageStatus {
    std::string Path;
    TPageCounts Counts;
    bool Known = false;          // the project has made its target
    bool SourceChanged = false;  // since the last update (or never made)
    bool Orphaned = false;
};
struct TProjectStatus {
    std::vector<TPageStatus> Pages;  // in path order
    TPageCounts Total;
};

// Reads the state, and only the pages whose files moved since the last update: a target the
// translator worked on is counted anew, a source is hashed when its stat differs.
TProjectStatus ProjectStatus(const TProject& project);
std::string StatusJson(const TProjectStatus& status);

enum class TProjectFormat { Po, Xliff };

// One file per page, DIR/PAGE.po or DIR/PAGE.xlf (PAGE's folders kept); untranslatedOnly leaves
// out translated phrases and pages with none left. PO: an entry per source text and kind, its
// phrases in the references ("#: PAGE:N"), no number in the context (the kind's letter), so that
// msgmerge carries every unchanged phrase to the next release; a translated phrase's text as
// msgstr; a fuzzy draft as "#, fuzzy" with "#| msgid" the source it translated. XLIFF (where the
// build has it): the single page's file with targets, a unit per phrase, PAGE as the file's
// original; a translated phrase's target in state translated, a fuzzy draft's in state
// needs-review-translation with the old source as an alt-trans. The files written.
std::vector<std::string> ExportProject(const TProject& project, const std::string& folder,
                                       bool untranslatedOnly,
                                       TProjectFormat format = TProjectFormat::Po);

struct TProjectMerge {
    std::string Page;
    TMergeReport Report;
};
// Merges a file of ExportProject (a PO file, or one msgmerge made from it; an XLIFF file, by its
// extension) into its page: each unit finds its phrase by its reference and source text, and the
// texts go into the target page by the editing service, one write; the project's memory and
// state learn them. A fuzzy entry, or a unit still in a needs-review state, is left out.
TProjectMerge MergeIntoProject(const TProject& project, const std::string& file);

}  // namespace quillfen::project
