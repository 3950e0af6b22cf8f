#pragma once

// A project's state: per target page, what it was made from (the base page: the source page
// with the root's language set, whose phrases are the sources of the target's), how the source
// and target files stood when the project last read or wrote them, the counts of its phrases and
// its fuzzy drafts; per other file, how the source stood when it was copied. One SQLite file
// (WAL, each change one transaction); a page about to be written is first recorded as pending,
// so that an update killed between the write and the record is finished by the next one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "checks/checks.h"

namespace quillfen::project {

// 2 added the dismissals of checks; a state of version 1 is migrated when opened.
inline constexpr int kStateVersion = 2;

// How a file stood: what a stat tells, and the hash of its bytes.
struct TFileState {
    bool Exists = false;
    std::int64_t Size = 0, MTime = 0, Inode = 0;  // mtime in nanoseconds
    std::uint64_t Hash = 0;
    // The stat alone says the file is as it was (no read needed).
    bool SameStat(const TFileState& other) const {
        return Exists && other.Exists && Size == other.Size && MTime == other.MTime &&
               Inode == other.Inode;
    }
};
// The stat of path (Exists false when there is no file); Hash left 0.
TFileState StatFile(const std::string& path);

// A fuzzy match kept for phrase Phrase, never written into the page until confirmed.
struct TDraft {
    std::size_t Phrase = 0;
    int Score = 0;
    std::string OldSource;  // the source the match translated (memory's textual form)
    std::string Target;     // as the phrase would take it
    bool operator==(const TDraft&) const = default;
};

// Untranslated words by the band of their best match: 101, 100, 95-99, 85-94, 75-84, none.
using TBandWords = std::array<std::uint64_t, 6>;

struct TPageCounts {
    std::uint64_t Phrases = 0, Words = 0;
    std::uint64_t Translated = 0, TranslatedWords = 0;
    // Of the translated ones, what the last update carried.
    std::uint64_t InContext = 0, Exact = 0;
    std::uint64_t Fuzzy = 0, FuzzyWords = 0;
    TBandWords Bands{};
    std::uint64_t Untranslated() const { return Phrases - Translated; }
    std::uint64_t UntranslatedWords() const { return Words - TranslatedWords; }
};

struct TPageRecord {
    std::string Path;  // relative to the source and target folders
    TFileState Source, Target;
    std::string Base;  // empty when read without it
    TPageCounts Counts;
    std::vector<TDraft> Drafts;
    bool Orphaned = false;
};

class TState final : public TDismissals {
  public:
    // Opens the state at path, made when no file is there. Refuses a file that is no state of
    // ours and one of a newer version (ProjectStateError), writing nothing; its other failures
    // are ProjectStateErrors too.
    explicit TState(const std::string& path);
    ~TState() override;
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;

    // Every page's record, by path; withBase: with its base page.
    std::map<std::string, TPageRecord> Pages(bool withBase = false);
    std::optional<TPageRecord> Page(const std::string& path);
    void Put(const TPageRecord& record);
    void SetOrphaned(const std::string& path, bool orphaned);

    // A record whose page is about to be written; made the page's when the write went well.
    void PutPending(const TPageRecord& record);
    void CommitPending(const std::string& path);
    void DropPending(const std::string& path);
    std::map<std::string, TPageRecord> PendingPages();

    // Other files: the source's hash and stat when last copied.
    std::map<std::string, TFileState> Files();
    void PutFile(const std::string& path, const TFileState& source);

    // Findings of the checks dismissed on the project's pages (store/dismissals.h): kept by
    // their keys, all of them in one transaction or none.
    bool IsDismissed(std::string_view key) const override;
    void Dismiss(std::span<const std::string> keys);

  private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
    mutable std::mutex mutex_;
};

// Drafts as the state keeps them, and back.
std::string SerializeDrafts(const std::vector<TDraft>& drafts);
std::vector<TDraft> ParseDrafts(std::string_view bytes);

}  // namespace quillfen::project
