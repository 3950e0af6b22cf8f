#pragma once

// Where the work that outlives a page session plugs in: what remembers a confirmed translation
// (a translation memory, a site project's state, the record of a page's sources) and what offers
// texts for a phrase (a memory's matches, a project's fuzzy drafts). The session knows only these
// interfaces, so the window and quillfen-cli get the same behaviour from whatever is plugged in.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quillfen {

class TPageSession;

// How a replacement came about: the one who later reads a memory or a project wants to know.
// History: a step undone or redone, or the page reverted; no new translation, but the page's
// texts changed all the same.
enum class TReplacementSource { Confirmed, Set, Merge, Pretranslation, History };

// One phrase's text before and after a step that was written to the page.
struct TReplacedPhrase {
    std::size_t Phrase = 0;
    std::string Before;  // as the page had it before (the source of a translation)
    std::string After;
};

// Told of every step the page session wrote (never of drafts), after the write went well. An
// observer's failure is its own: the session reports it but the page's step stands.
class TReplacementObserver {
  public:
    virtual ~TReplacementObserver() = default;
    virtual void Replaced(const TPageSession& session, TReplacementSource source,
                          const std::vector<TReplacedPhrase>& phrases) = 0;
};

// What the page's phrases read before Quillfen replaced them, kept beyond the session. The
// session asks it when a page is opened and tells it of every step written since (as an
// observer, with the session's Source of each phrase already up to date).
class TSourceRecord : public TReplacementObserver {
  public:
    // The sources recorded for the session's page as it was just opened (its path and cut), by
    // phrase: only those whose phrase still reads as it did when the source was recorded.
    virtual std::map<std::size_t, std::string> RecordedSources(const TPageSession& session) = 0;
};

// A text offered for a phrase, best first; Score as translators quote it (101 in context,
// 100 exact, below that fuzzy).
struct TSuggestion {
    int Score = 0;
    std::string Source;  // the text the suggestion translated
    std::string Target;  // fitted to the phrase (its placeholders' numbers)
    std::string Origin;  // where it came from, for the user
};

// Offers suggestions for phrase i of the session's page. May be slow: the window calls it off
// its interface thread, with a copy of what it needs, so it must not touch the session's state
// after it returns.
class TSuggestionSource {
  public:
    virtual ~TSuggestionSource() = default;
    virtual std::vector<TSuggestion> SuggestionsFor(const TPageSession& session, std::size_t i) = 0;
};

}  // namespace quillfen
