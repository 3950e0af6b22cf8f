#pragma once

// Dismissed findings of the checks (checks/checks.h), kept in an SQLite file beside what the file
// holds otherwise: the user's translation memory for single pages, a project's state for its
// pages. A dismissal is its finding's key (DismissalKey: the check and both texts), so it holds
// while the phrase's source and translation read as they did and lapses when either changes.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "checks/checks.h"
#include "store/sqlite.h"

namespace quillfen {

// The table a file keeps its dismissals in. The file's own schema makes it (the memory's
// migration to its schema 2, a project's state when it is made), since a file's schema version
// is its owner's to raise.
inline constexpr const char* kDismissalTableSchema =
    "CREATE TABLE dismissal(key TEXT PRIMARY KEY NOT NULL, time INTEGER NOT NULL) WITHOUT ROWID;";

class TStoredDismissals final : public TDismissals {
  public:
    // The dismissals of db, which must hold the table (else DamagedMemoryError) and outlive
    // this.
    explicit TStoredDismissals(store::TDatabase& db);
    ~TStoredDismissals() override;
    TStoredDismissals(const TStoredDismissals&) = delete;
    TStoredDismissals& operator=(const TStoredDismissals&) = delete;

    bool IsDismissed(std::string_view key) const override;
    // Keeps the keys dismissed, all of them in one transaction or none.
    void Dismiss(std::span<const std::string> keys);
    void Dismiss(const TFinding& finding) { Dismiss(std::span(&finding.Key, 1)); }
    std::size_t Count() const;

  private:
    store::TDatabase& db_;
    std::unique_ptr<store::TStatement> find_, insert_;
};

}  // namespace quillfen
