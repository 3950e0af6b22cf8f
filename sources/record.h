#pragma once

// The record of a page's sources across sessions: for every phrase Quillfen replaced, the text it
// read before, kept in one SQLite file in the user's data folder beside the translation memory.
// A record is keyed by the page's canonical path, its cut (kinds and units) and the phrase's
// number, and holds with the source a hash of the text the phrase was given, so that a phrase
// that reads otherwise now (the page changed outside Quillfen) shows no stale source. Not built
// on Windows, where there is no SQLite: the session then knows only what it replaced itself.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "session/hooks.h"

namespace quillfen {

class TSourceStore final : public TSourceRecord {
  public:
    // sources.sqlite beside the memory ($XDG_DATA_HOME/Quillfen, else ~/.local/share/Quillfen).
    static std::string DefaultPath();
    // Opens the record at DefaultPath, making its folder on first use.
    static std::unique_ptr<TSourceStore> OpenDefault();
    // Opens the record at path, made when no file is there (or an empty one). Throws
    // SourceRecordError (NotRecord, Damaged, Newer: the file is left untouched; Failed, with the
    // cause, when it cannot be read or made).
    explicit TSourceStore(const std::string& path);
    ~TSourceStore() override;
    const std::string& Path() const;

    std::map<std::size_t, std::string> RecordedSources(const TPageSession& session) override;
    // Keeps the session's Source of each phrase of the step, or drops its record when it has
    // none, in one transaction.
    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override;

  private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

}  // namespace quillfen
