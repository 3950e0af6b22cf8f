#include "store/dismissals.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "memory/memory.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::TTempDir;

void Sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::vector<TFinding> Found(std::string_view source, std::string_view target,
                            const TDismissals& dismissals) {
    TCheckOptions options;
    options.TargetLanguage = "de";
    std::vector<TFinding> findings = CheckPair(source, target, options);
    DropDismissed(findings, dismissals);
    return findings;
}

// A dismissal made in the memory of a user holds in the next session while both texts read as
// they did, and lapses when either changes; a memory of schema 1 (before dismissals) is given
// the table when opened and keeps its units.
TEST(Dismissals, KeptInTheMemoryUntilEitherTextChanges) {
    TTempDir dir;
    const std::string path = dir / "m.sqlite";
    {
        TMemory memory(path);
        TUnit unit;
        unit.Source = "Save";
        unit.Target = "Speichern";
        unit.Languages = {"en", "de"};
        memory.Add(unit);
    }
    Sql(path, "DROP TABLE dismissal; PRAGMA user_version = 1");
    {
        TMemory memory(path);
        EXPECT_EQ(memory.UnitCount(), 1u);
        TStoredDismissals dismissals(memory.Database());
        const std::vector<TFinding> findings = Found("Version 2.0", "Version 2.1", dismissals);
        ASSERT_FALSE(findings.empty());
        for (const TFinding& f : findings) {
            EXPECT_EQ(f.Check, TCheck::Numbers) << f.English;
            dismissals.Dismiss(f);
        }
    }
    TMemory memory(path);
    TStoredDismissals dismissals(memory.Database());
    // One key stands for the check on both texts, whatever it found in them.
    EXPECT_EQ(dismissals.Count(), 1u);
    EXPECT_TRUE(Found("Version 2.0", "Version 2.1", dismissals).empty());
    EXPECT_FALSE(Found("Version 2.0", "Version 2.2", dismissals).empty());
    EXPECT_FALSE(Found("Version 2.0 ", "Version 2.1", dismissals).empty());
}

// Dismissing many is one transaction: when one key cannot be stored, none is.
TEST(Dismissals, ManyAreKeptTogetherOrNotAtAll) {
    TTempDir dir;
    const std::string path = dir / "m.sqlite";
    { TMemory memory(path); }
    Sql(path,
        "CREATE TRIGGER refuse BEFORE INSERT ON dismissal WHEN NEW.key = 'bad' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    TMemory memory(path);
    TStoredDismissals dismissals(memory.Database());
    const std::vector<std::string> keys = {"numbers:1", "bad", "numbers:2"};
    EXPECT_THROW(dismissals.Dismiss(keys), TError);
    EXPECT_EQ(dismissals.Count(), 0u);
    EXPECT_FALSE(dismissals.IsDismissed("numbers:1"));
    dismissals.Dismiss(std::vector<std::string>{"numbers:1", "numbers:2"});
    EXPECT_TRUE(dismissals.IsDismissed("numbers:2"));
    EXPECT_FALSE(dismissals.IsDismissed("numbers:3"));
}

}  // namespace
}  // namespace quillfen
