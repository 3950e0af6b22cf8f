#pragma once

// Bringing a project's target up to date with its source, page by page (the README gives the
// rules), and what a page's phrases count.

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "project/projectfile.h"
#include "project/state.h"

namespace quillfen::project {

enum class TPageOutcome {
    Unchanged,  // nothing written
    New,        // a new page, made from its source
    Rebuilt,    // its source changed: made anew, the translator's work carried
    Harvested,  // its target was translated further outside the project: recorded, not written
    Finished,   // an update cut short had written it; its record is now complete
    Refused,    // its target changed outside its phrases: left as it is
    Failed,     // it could not be read or written (Error says why)
    Orphaned,   // its source is gone; its target stays
};

struct TPageUpdate {
    std::string Path;
    TPageOutcome Outcome = TPageOutcome::Unchanged;
    TPageCounts Counts;
    std::exception_ptr Error;  // for Refused and Failed
};

struct TUpdateReport {
    std::vector<TPageUpdate> Pages;  // in path order
    TPageCounts Total;
    std::size_t FilesCopied = 0;
    std::vector<std::pair<std::string, std::exception_ptr>> FileFailures;
    bool Failed() const;
};

struct TUpdateOptions {
    // The user's memory, read below the project's; empty: the default one, if there is one.
    // "-": none.
    std::string UserMemory;
    // Runs after each page's target is written and before its record is complete (tests put a
    // kill or a failure here).
    std::function<void(const std::string& page)> AfterWrite;
    // Build pages on one thread (tests that count on the order).
    bool OneThread = false;
};

// Brings the project's target up to date. Refuses bad folders (CheckFolders) before anything is
// written; each page's failure is its own.
TUpdateReport UpdateProject(const TProject& project, const TUpdateOptions& options = {});

// The page with its root's lang (and xml:lang) set to language, added to the html start tag
// when it has neither; the bytes as they are when the page has no html start tag.
std::string WithRootLanguage(std::string_view page, std::string_view language);

// The counts of a target page against its base: a phrase whose text differs is translated;
// drafts of phrases now translated are dropped. Bands, InContext and Exact are left as given.
void Recount(const TDocument& base, const TDocument& target, TPageRecord& record);

// Words of phrase i as counts give them (a sentence's without its placeholders).
std::uint64_t PhraseWords(const TDocument& doc, std::size_t i);

}  // namespace quillfen::project
