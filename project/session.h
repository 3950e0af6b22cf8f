#pragma once

// A page session opened inside a project: what the window needs of the project for the page it
// shows. The recorder puts every step written into the project's memory and state (so that the
// next update counts and carries it); the suggestions offer the page's fuzzy drafts.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/document/document.h"
#include "project/projectfile.h"
#include "project/state.h"
#include "session/hooks.h"

namespace quillfen::project {

// The page of the project that path (a target page) is, relative; nullopt for another file.
std::optional<std::string> ProjectPageOf(const TProject& project, const std::string& path);

class TProjectPage : public TReplacementObserver, public TSuggestionSource {
  public:
    // The project's target page at path (ProjectPageOf); throws TError for a page the project
    // has not made.
    TProjectPage(const TProject& project, const std::string& path);

    // Phrase i's source text as the page was made from it; empty beyond the page.
    std::string SourceText(std::size_t i) const;
    const std::vector<TDraft>& Drafts() const { return record_.Drafts; }

    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override;
    // The fuzzy draft of phrase i, if any, with the source it translated.
    std::vector<TSuggestion> SuggestionsFor(const TPageSession& session, std::size_t i) override;

  private:
    const TProject& project_;
    std::string page_;
    TPageRecord record_;
    TDocument base_;
};

}  // namespace quillfen::project
