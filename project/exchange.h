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

// One PO file per page, DIR/PAGE.po (PAGE's folders kept): an entry per source text and kind,
// its phrases in the references ("#: PAGE:N"), no number in the context (the kind's letter), so
// that msgmerge carries every unchanged phrase to the next release. A translated phrase's text
// as msgstr; a fuzzy draft as "#, fuzzy" with "#| msgid" the source it translated. The files
// written.
std::vector<std::string> ExportProject(const TProject& project, const std::string& folder,
                                       bool untranslatedOnly);

struct TProjectMerge {
    std::string Page;
    TMergeReport Report;
};
// Merges a PO file of ExportProject (or one msgmerge made from it) into its page: each unit
// finds its phrase by its reference and source text, and the texts go into the target page by
// the editing service, one write; the project's memory and state learn them.
TProjectMerge MergeIntoProject(const TProject& project, const std::string& file);

}  // namespace quillfen::project
