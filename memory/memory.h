#pragma once

// A translation memory: every confirmed translation of a phrase, kept in one SQLite file and
// offered again for the same or a similar phrase (memory/matching.h says how texts are compared).
//
// The file is opened only when it is a memory of ours of this schema or an older one (which is
// then migrated): a file that is no SQLite database, another program's database, a damaged one or
// one a newer version wrote is refused before anything is written to it, and left as it is. The
// file is in WAL mode with a busy timeout, so that the window and quillfen-cli can use one memory
// at once; every change is one transaction, so that a process killed midway leaves what was
// committed before and nothing of its change. A TMemory is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/markup/kinds.h"
#include "memory/matching.h"

namespace quillfen {

namespace store {
class TDatabase;
}

// Where a unit came from.
enum class TOrigin : std::uint8_t {
    Window = 1,  // confirmed in the window
    Save,        // quillfen-cli save --set
    Merge,       // a translation tool's file merged into the page
    Pretranslation,
    Alignment,  // a page and its translation aligned
    Import,     // a TMX file
};
// The origin's name as TMX files and quillfen-cli give it ("window", "save", "merge",
// "pretranslation", "alignment", "import"), and back (nullopt for another name).
std::string_view OriginName(TOrigin origin);
std::optional<TOrigin> OriginNamed(std::string_view name);

// Languages are BCP 47 tags in their canonical case ("en-US"), so that comparing them is
// comparing case-insensitively.
struct TLanguagePair {
    std::string Source, Target;
    bool operator==(const TLanguagePair&) const = default;
};
// The pair of two language tags in any case ("EN_us" is "en-US"). Throws LanguageTagError for a
// text that is no tag, and UnknownLanguageError for an empty one or "und": a translation is
// never stored under a guessed pair.
TLanguagePair MakeLanguagePair(std::string_view source, std::string_view target);

// Where a phrase stood: the page's name and the source texts of the phrases just before and
// after it (empty at the page's edges).
struct TContext {
    std::string Page, Before, After;
    bool operator==(const TContext&) const = default;
};

struct TUnit {
    // Texts in the textual form of phrases (UTF-8; a sentence's placeholders "<b1>...</b1>",
    // a '<' that reads like one escaped): what Quillfen shows of the phrase, and its translation.
    std::string Source, Target;
    // The tags the placeholders stand for, UTF-8, as the table a template carries behind a
    // sentence's marker (core/document/format.h): "%{b1=3:<b>/4:</b>;br2=4:<br>;%}"; empty when
    // none.
    std::string Codes;
    TLanguagePair Languages;
    TKind Kind = TKind::Text;
    TContext Context;
    TOrigin Origin = TOrigin::Window;
    // Seconds since 1970 (UTC); 0 when storing means now.
    std::int64_t Time = 0;
};

struct TQuery {
    std::string Text;  // textual form
    TLanguagePair Languages;
    int MinScore = kDefaultMinScore;
    // Where the phrase stands, for matches in context; none when empty.
    TContext Context;
    std::size_t Limit = 5;
};

struct TMatch {
    int Score = 0;
    TUnit Unit;
    // The unit's target fitted to the query's placeholders (FitToPhrase).
    std::string Text;
    // The target's placeholders that the query has no counterpart of, as the target wrote them.
    std::vector<std::string> Dropped;
};

class TMemory {
  public:
    // The user's own memory: $XDG_DATA_HOME/Quillfen/memory.sqlite, else
    // ~/.local/share/Quillfen/memory.sqlite (the home folder from HOME, else the user database).
    // OpenDefault creates the folder on first use.
    static std::string DefaultPath();
    static std::unique_ptr<TMemory> OpenDefault();

    // Opens the memory at path, made when no file is there (or an empty one). Throws
    // NotMemoryError, DamagedMemoryError or NewerMemoryError, leaving the file untouched, and
    // MemoryFailedError (with the cause) when it cannot be read or made.
    explicit TMemory(const std::string& path);
    ~TMemory();
    TMemory(const TMemory&) = delete;
    TMemory& operator=(const TMemory&) = delete;

    const std::string& Path() const;
    // The file, for what else the memory keeps: the dismissals of checks on single pages
    // (TStoredDismissals).
    store::TDatabase& Database();

    // The best matches of the query's text, at most Limit, best first (ties: the newest first),
    // each at least MinScore. In-context and exact matches are looked up first; a fuzzy match is
    // looked for only below 100 and among the units the full-text index names, never by reading
    // every unit.
    std::vector<TMatch> Lookup(const TQuery& query);

    // Stores units in one transaction. A unit with the source and target of a stored one of the
    // same language pair is that unit: its context, time, origin, kind and codes become the newer
    // of the two.
    void Add(const std::vector<TUnit>& units);
    void Add(const TUnit& unit);

    // Many units in one transaction, added one by one (an import): nothing of them is stored
    // until Commit, and all of them are dropped when the writer goes without it.
    class TWriter {
      public:
        explicit TWriter(TMemory& memory);
        ~TWriter();
        TWriter(const TWriter&) = delete;
        TWriter& operator=(const TWriter&) = delete;
        // Whether the unit was new (else an existing one took its context and time).
        bool Add(const TUnit& unit);
        void Commit();

      private:
        struct TState;
        std::unique_ptr<TState> state_;
    };

    std::size_t UnitCount();
    // Every unit of the language pair (an empty language: any), in the order they were first
    // stored.
    void ForEachUnit(std::string_view source, std::string_view target,
                     const std::function<void(const TUnit&)>& each);

    struct TImpl;

  private:
    std::unique_ptr<TImpl> impl_;
};

}  // namespace quillfen
