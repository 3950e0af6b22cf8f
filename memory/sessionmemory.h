#pragma once

// The translation memory plugged into a page session (session/hooks.h): an observer that
// remembers every step the session wrote, and a source of suggestions from the memory's matches.
// Both take the language pair as a page's translations go under it (memory/pages.h): the page's
// own lang, else the source language given, and the target language given. Where one is not
// known nothing is stored and nothing looked up: a translation is never kept under a guessed pair.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "memory/memory.h"
#include "session/hooks.h"

namespace quillfen {

// The language tags a front end has for the pages it opens; empty: not known.
struct TLanguageOptions {
    std::string Source, Target;
    // The pages' languages whatever their lang says: a site project's target page names the
    // target language there.
    bool Fixed = false;
};

// The pair phrase texts of the session's page go under (the options' alone when Fixed); nullopt
// when the source or the target is not known. An option that is no language tag raises
// LanguageTagError.
std::optional<TLanguagePair> SessionLanguages(const TPageSession& session,
                                              const TLanguageOptions& options);

class TMemoryObserver : public TReplacementObserver {
  public:
    TMemoryObserver(TMemory& memory, TLanguageOptions languages)
        : memory_(memory), languages_(std::move(languages)) {}

    void SetLanguages(TLanguageOptions languages);
    const TLanguageOptions& Languages() const { return languages_; }

    // Stores the step's phrases, one transaction, as units of the origin the step's source
    // names. A failure of the memory raises (the session keeps it for the front end).
    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override;

    // Whether a step went unstored because the language pair was not known, told once: true the
    // first time it is asked after such a step, then false until the languages are set anew.
    bool TakeUnknownLanguage();

  private:
    TMemory& memory_;
    TLanguageOptions languages_;
    bool unknown_ = false;
    bool told_ = false;
};

// What looking up phrase i needs, copied from the session, so that the lookup can run on another
// thread while the session goes on.
struct TSuggestionQuery {
    std::size_t Phrase = 0;
    TQuery Query;
    // A sentence takes a match's placeholders; a run takes its text without them.
    bool Sentence = false;
};

class TMemorySuggestions : public TSuggestionSource {
  public:
    // memory is used only by this object's lookups, one at a time: a front end that writes from
    // another thread gives it a TMemory of its own on the same file.
    TMemorySuggestions(TMemory& memory, TLanguageOptions languages, int minScore = kDefaultMinScore,
                       std::size_t limit = 5)
        : memory_(memory), languages_(std::move(languages)), minScore_(minScore), limit_(limit) {}

    void SetLanguages(TLanguageOptions languages);
    void SetMinScore(int minScore) { minScore_ = minScore; }

    // Fast, on the session's thread: the query for phrase i of its page as the page read it
    // (a phrase replaced since still asks for its source); nullopt when the languages are not
    // known or there is no such phrase.
    std::optional<TSuggestionQuery> QueryFor(const TPageSession& session, std::size_t i) const;
    // May be slow, on any thread: the matches, best first, their targets fitted to the phrase and
    // in the form the phrase takes them.
    std::vector<TSuggestion> Lookup(const TSuggestionQuery& query);

    std::vector<TSuggestion> SuggestionsFor(const TPageSession& session, std::size_t i) override;

  private:
    TMemory& memory_;
    std::mutex lookup_;
    TLanguageOptions languages_;
    int minScore_;
    std::size_t limit_;
};

}  // namespace quillfen
