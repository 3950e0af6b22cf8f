#include "store/dismissals.h"

#include <ctime>

#include "core/errors.h"

namespace quillfen {

TStoredDismissals::TStoredDismissals(store::TDatabase& db) : db_(db) {
    store::TStatement table(db, "SELECT 1 FROM sqlite_schema WHERE name = 'dismissal'");
    store::TStatement::TUse use(table);
    if (!table.Step()) throw DamagedMemoryError(db.Path(), "the table dismissal is missing");
    find_ = std::make_unique<store::TStatement>(db, "SELECT 1 FROM dismissal WHERE key = ?");
    insert_ = std::make_unique<store::TStatement>(
        db, "INSERT OR REPLACE INTO dismissal(key, time) VALUES(?, ?)");
}

TStoredDismissals::~TStoredDismissals() = default;

bool TStoredDismissals::IsDismissed(std::string_view key) const {
    store::TStatement::TUse use(*find_);
    find_->Bind(1, key);
    return find_->Step();
}

void TStoredDismissals::Dismiss(std::span<const std::string> keys) {
    store::TTransaction transaction(db_);
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    for (const std::string& key : keys) {
        store::TStatement::TUse use(*insert_);
        insert_->Bind(1, std::string_view(key));
        insert_->Bind(2, now);
        insert_->Step();
    }
    transaction.Commit();
}

std::size_t TStoredDismissals::Count() const {
    return static_cast<std::size_t>(db_.Number("SELECT count(*) FROM dismissal"));
}

}  // namespace quillfen
