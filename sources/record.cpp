#include "sources/record.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "core/errors.h"
#include "memory/memory.h"
#include "session/pagesession.h"
#include "store/sqlite.h"

namespace quillfen {

using store::TDatabase;
using store::TStatement;
using store::TTransaction;

namespace {

// "QfSR" in the header's application id, so that no other program's database, nor the memory,
// is taken for a record.
constexpr std::uint32_t kApplicationId = 0x51665352;
// The schema this version writes; a file of a higher number is refused.
constexpr int kSchemaVersion = 1;
// How long a change waits for another program's transaction before it gives up.
constexpr int kBusyMilliseconds = 10000;

// Paths and texts are bytes (a file name need not be UTF-8, a phrase may hold a byte its page's
// encoding cannot read), so both are BLOBs. hash is HashBytes of the text the phrase was given.
constexpr const char* kSchema = R"sql(
CREATE TABLE page(
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL,
  tags INTEGER NOT NULL,
  units INTEGER NOT NULL,
  UNIQUE(path, tags, units));
CREATE TABLE source(
  page INTEGER NOT NULL REFERENCES page(id),
  phrase INTEGER NOT NULL,
  source BLOB NOT NULL,
  hash INTEGER NOT NULL,
  PRIMARY KEY(page, phrase)) WITHOUT ROWID;
)sql";

// Set when opening refuses the file as no record of ours (rather than failing on the way): the
// files SQLite made beside it are then taken away again.
thread_local bool tRefused = false;

TError Refused(TRecordFault fault, const std::string& path, std::string_view detail = {}) {
    tRefused = true;
    return SourceRecordError(fault, path, detail);
}

const store::TDatabaseErrors kRecordErrors{
    [](const std::string& path, std::string_view detail) {
        return Refused(TRecordFault::Damaged, path, detail);
    },
    [](const std::string& path) { return SourceRecordError(TRecordFault::Busy, path); },
    [](const std::string& path, std::string_view detail, int cause) {
        return SourceRecordError(TRecordFault::Failed, path, detail, cause);
    },
};

// Whether there is a file to open, and that its header is a record's, before SQLite opens it:
// SQLite writes nothing to a file until it reads it, so a file refused here stays as it is.
bool Exists(const std::string& path) {
    const store::TStoreFile file = store::InspectFile(path);
    if (file.State == store::TStoreFile::Missing) return false;
    if (file.State == store::TStoreFile::Other ||
        (file.State == store::TStoreFile::Database && file.ApplicationId != kApplicationId))
        throw Refused(TRecordFault::NotRecord, path);
    if (file.Version > kSchemaVersion)
        throw Refused(TRecordFault::Newer, path, std::to_string(file.Version));
    return true;
}

// The page as the record names it: the same file under any name is one page.
std::string PageKey(const std::string& path) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    if (error) canonical = std::filesystem::absolute(path, error);
    return error ? path : canonical.string();
}

}  // namespace

namespace {

// Opens the file and makes it a record when it is new; raises before anything writes to a file
// that is no record, a damaged one or a newer one.
bool Prepare(TDatabase& db) {
    sqlite3_busy_timeout(db.Handle(), kBusyMilliseconds);
    // Until the file is known to be ours, closing it must not checkpoint another program's WAL
    // into it.
    sqlite3_db_config(db.Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // The header said so already; the database is asked again, since a change not yet
    // checkpointed lives in the WAL file.
    auto check = [&] {
        const auto id = static_cast<std::uint32_t>(db.Number("PRAGMA application_id"));
        const auto version = static_cast<int>(db.Number("PRAGMA user_version"));
        const bool tables = db.Number("SELECT count(*) FROM sqlite_schema") > 0;
        if (id == 0 && version == 0 && !tables) return 0;  // a new file
        if (id != kApplicationId) throw Refused(TRecordFault::NotRecord, db.Path());
        if (version > kSchemaVersion)
            throw Refused(TRecordFault::Newer, db.Path(), std::to_string(version));
        if (version < 1) throw Refused(TRecordFault::Damaged, db.Path(), "no schema version");
        return version;
    };
    if (check() == 0) {
        // Another process may have made it meanwhile.
        TTransaction transaction(db);
        if (check() == 0) {
            db.Exec(kSchema);
            db.Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            db.Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        }
        transaction.Commit();
    }
    for (const char* table : {"page", "source"}) {
        TStatement s(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?");
        TStatement::TUse use(s);
        s.Bind(1, std::string_view(table));
        if (!s.Step())
            throw Refused(TRecordFault::Damaged, db.Path(),
                          std::string("the table ") + table + " is missing");
    }
    sqlite3_db_config(db.Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    db.Exec("PRAGMA journal_mode = WAL");
    return true;
}

int OpenFlags(const std::string& path) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (!Exists(path)) flags |= SQLITE_OPEN_CREATE;
    return flags;
}

}  // namespace

struct TSourceStore::TImpl {
    explicit TImpl(const std::string& path);
    std::optional<std::int64_t> FindPage(const std::string& path, const TDocument& doc);

    TDatabase db;
    // The schema is checked (and made) before the statements below are prepared on it.
    bool ready;
    TStatement findPage{db, "SELECT id FROM page WHERE path = ? AND tags = ? AND units = ?"};
    TStatement addPage{db, "INSERT INTO page(path, tags, units) VALUES(?, ?, ?)"};
    TStatement sources{db, "SELECT phrase, source, hash FROM source WHERE page = ?"};
    TStatement keep{db,
                    "INSERT INTO source(page, phrase, source, hash) VALUES(?, ?, ?, ?) "
                    "ON CONFLICT(page, phrase) DO UPDATE SET source = excluded.source, "
                    "hash = excluded.hash"};
    TStatement drop{db, "DELETE FROM source WHERE page = ? AND phrase = ?"};
    TStatement dropEmptyPage{db,
                             "DELETE FROM page WHERE id = ?1 AND NOT EXISTS "
                             "(SELECT 1 FROM source WHERE page = ?1)"};
};

TSourceStore::TImpl::TImpl(const std::string& path)
    : db(path, OpenFlags(path), kRecordErrors), ready(Prepare(db)) {}

std::optional<std::int64_t> TSourceStore::TImpl::FindPage(const std::string& path,
                                                          const TDocument& doc) {
    TStatement::TUse use(findPage);
    findPage.BindBlob(1, PageKey(path));
    findPage.Bind(2, static_cast<std::int64_t>(doc.Tags()));
    findPage.Bind(3, static_cast<std::int64_t>(doc.Units()));
    if (!findPage.Step()) return std::nullopt;
    return findPage.Int(0);
}

std::string TSourceStore::DefaultPath() {
    return (std::filesystem::path(TMemory::DefaultPath()).parent_path() / "sources.sqlite")
        .string();
}

std::unique_ptr<TSourceStore> TSourceStore::OpenDefault() {
    const std::string path = DefaultPath();
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw CannotCreateError(folder.string(), error.value());
    return std::make_unique<TSourceStore>(path);
}

TSourceStore::TSourceStore(const std::string& path) {
    // Reading a file whose header says WAL makes its -wal and -shm files: a file refused must be
    // left as it was found, so those made here go again (never another process's: a file it
    // holds is busy, not refused).
    std::vector<std::string> sidecars;
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code error;
        if (!std::filesystem::exists(path + suffix, error) && !error)
            sidecars.push_back(path + suffix);
    }
    tRefused = false;
    try {
        impl_ = std::make_unique<TImpl>(path);
    } catch (...) {
        if (tRefused)
            for (const std::string& made : sidecars) {
                std::error_code ignored;
                std::filesystem::remove(made, ignored);
            }
        throw;
    }
}

TSourceStore::~TSourceStore() = default;

const std::string& TSourceStore::Path() const { return impl_->db.Path(); }

std::map<std::size_t, std::string> TSourceStore::RecordedSources(const TPageSession& session) {
    std::map<std::size_t, std::string> out;
    const TDocument& doc = session.Document();
    const std::optional<std::int64_t> page = impl_->FindPage(session.Path(), doc);
    if (!page) return out;
    TStatement& s = impl_->sources;
    TStatement::TUse use(s);
    s.Bind(1, *page);
    while (s.Step()) {
        const std::int64_t phrase = s.Int(0);
        if (phrase < 0 || static_cast<std::uint64_t>(phrase) >= doc.PhraseCount()) continue;
        const auto i = static_cast<std::size_t>(phrase);
        const std::string_view text = doc.Text(i);
        const std::string_view source = s.Blob(1);
        // A phrase that reads otherwise than Quillfen wrote it is no longer the one recorded.
        if (static_cast<std::uint64_t>(s.Int(2)) != HashBytes(text) || text == source) continue;
        out.emplace(i, std::string(source));
    }
    return out;
}

void TSourceStore::Replaced(const TPageSession& session, TReplacementSource,
                            const std::vector<TReplacedPhrase>& phrases) {
    const TDocument& doc = session.Document();
    TTransaction transaction(impl_->db);
    std::optional<std::int64_t> page = impl_->FindPage(session.WritePath(), doc);
    for (const TReplacedPhrase& p : phrases) {
        const std::optional<std::string> source = session.Source(p.Phrase);
        if (!source) {
            if (!page) continue;
            TStatement::TUse use(impl_->drop);
            impl_->drop.Bind(1, *page);
            impl_->drop.Bind(2, static_cast<std::int64_t>(p.Phrase));
            impl_->drop.Step();
            continue;
        }
        if (!page) {
            TStatement::TUse use(impl_->addPage);
            impl_->addPage.BindBlob(1, PageKey(session.WritePath()));
            impl_->addPage.Bind(2, static_cast<std::int64_t>(doc.Tags()));
            impl_->addPage.Bind(3, static_cast<std::int64_t>(doc.Units()));
            impl_->addPage.Step();
            page = sqlite3_last_insert_rowid(impl_->db.Handle());
        }
        TStatement::TUse use(impl_->keep);
        impl_->keep.Bind(1, *page);
        impl_->keep.Bind(2, static_cast<std::int64_t>(p.Phrase));
        impl_->keep.BindBlob(3, *source);
        impl_->keep.Bind(4, static_cast<std::int64_t>(HashBytes(doc.Text(p.Phrase))));
        impl_->keep.Step();
    }
    if (page) {
        TStatement::TUse use(impl_->dropEmptyPage);
        impl_->dropEmptyPage.Bind(1, *page);
        impl_->dropEmptyPage.Step();
    }
    transaction.Commit();
}

}  // namespace quillfen
