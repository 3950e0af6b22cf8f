#pragma once

// A page session opened inside a project: what the window needs of the project for the page it
// shows. As the session's record of sources it gives each translated phrase the source the page
// was made from, and puts every step written into the project's memory and state (so that the
// next update counts and carries it); the suggestions offer the page's fuzzy drafts, which
// OfferDrafts puts into the session as its drafts, never into the page.

#include <map>
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

class TProjectPage : public TSourceRecord, public TSuggestionSource {
  public:
    // The project's target page at path (ProjectPageOf); throws TError for a page the project
    // has not made.
    TProjectPage(const TProject& project, const std::string& path);

    const std::string& Page() const { return page_; }
    // The page's counts as the last step written left them (as the state holds them).
    const TPageCounts& Counts() const { return record_.Counts; }
    // Phrase i's source text as the page was made from it; empty beyond the page.
    std::string SourceText(std::size_t i) const;
    // The fuzzy drafts as the page was opened: a draft stays one until its phrase is confirmed,
    // and comes back when that is undone.
    const std::vector<TDraft>& Drafts() const { return drafts_; }
    // Phrase i's draft, if any.
    const TDraft* DraftOf(std::size_t i) const;
    // Each draft whose phrase still reads as its source becomes the session's draft of the
    // phrase (where it has none of its own): the translator sees it in the entry and confirms
    // it or not. The phrases given one.
    std::vector<std::size_t> OfferDrafts(TPageSession& session) const;

    // Every phrase that reads otherwise than the page was made from: its source.
    std::map<std::size_t, std::string> RecordedSources(const TPageSession& session) override;
    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override;
    // The fuzzy draft of phrase i, if any, with the source it translated.
    std::vector<TSuggestion> SuggestionsFor(const TPageSession& session, std::size_t i) override;

  private:
    const TProject& project_;
    std::string page_;
    TPageRecord record_;
    std::vector<TDraft> drafts_;
    TDocument base_;
};

// The sources of a translated page without a project, from its source page: the pages paired
// phrase by phrase as an alignment pairs them (core/document/pairing), the source's root
// language taken as the translation's first, since the translation names its own language there.
// Each phrase that reads otherwise than its source, by phrase. Throws PagesPartError naming both
// paths where the pages part outside their phrases.
std::map<std::size_t, std::string> PairedSources(const std::string& sourceBytes,
                                                 const std::string& sourcePath,
                                                 const TDocument& translated,
                                                 const std::string& translatedPath);

// A translated page's sources as PairedSources gave them, as the session's record of sources for
// that page alone; the steps written go on to the user's record, if any, so that they outlive
// the session.
class TPairedSources : public TSourceRecord {
  public:
    TPairedSources(std::string translatedPath, std::map<std::size_t, std::string> sources,
                   TSourceRecord* next)
        : path_(std::move(translatedPath)), sources_(std::move(sources)), next_(next) {}
    const std::string& Path() const { return path_; }
    std::map<std::size_t, std::string> RecordedSources(const TPageSession& session) override;
    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override;

  private:
    std::string path_;
    std::map<std::size_t, std::string> sources_;
    TSourceRecord* next_;
};

// A page the translator has still to finish: a phrase not translated, or a draft to confirm.
inline bool IsUnfinished(const TPageCounts& counts) {
    return counts.Translated < counts.Phrases || counts.Fuzzy > 0;
}

}  // namespace quillfen::project
