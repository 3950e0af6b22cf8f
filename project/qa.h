#pragma once

// The checks over a whole project before it goes out: each target page against the base page it
// was made from, and the consistency of the translations across all pages.

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "checks/checks.h"
#include "project/projectfile.h"

namespace quillfen::project {

struct TProjectFindings {
    // The pages checked, relative to the target folder, in path order; a finding's Page is an
    // index into it.
    std::vector<std::string> Pages;
    // Ordered by page, then phrase. With their dismissed ones when asked for; Dismissed tells
    // which (by index into Findings).
    std::vector<TFinding> Findings;
    std::vector<bool> Dismissed;
    // Pages that could not be checked (a target gone or parted from its base), in path order.
    std::vector<std::pair<std::string, std::exception_ptr>> Failures;
};

struct TProjectCheckOptions {
    TCheckSelection Checks = TCheckSelection::All();
    // Empty: the project's target language.
    std::string TargetLanguage;
    // Keep the findings the project's state holds dismissed (marked in Dismissed).
    bool WithDismissed = false;
};

// Checks every page the project has made and whose source is still there (as export takes
// them). The same source translated differently, and different sources translated the same, are
// looked for over all pages at once. Dismissals are the project state's (TState::Dismiss).
TProjectFindings CheckProject(const TProject& project, const TProjectCheckOptions& options = {});

}  // namespace quillfen::project
