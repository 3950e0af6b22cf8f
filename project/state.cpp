#include "project/state.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <charconv>
#include <cstring>

#include "core/errors.h"
#include "store/dismissals.h"
#include "store/sqlite.h"

namespace quillfen::project {

using store::TDatabase;
using store::TStatement;
using store::TTransaction;

namespace {

// "QfnP": tells our state from another program's database.
constexpr std::int64_t kApplicationId = 0x51666E50;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS pages(
  path TEXT PRIMARY KEY, source_size INT, source_mtime INT, source_inode INT, source_hash INT,
  target_exists INT, target_size INT, target_mtime INT, target_inode INT, target_hash INT,
  base BLOB, counts TEXT, drafts BLOB, orphaned INT);
CREATE TABLE IF NOT EXISTS pending(
  path TEXT PRIMARY KEY, source_size INT, source_mtime INT, source_inode INT, source_hash INT,
  target_exists INT, target_size INT, target_mtime INT, target_inode INT, target_hash INT,
  base BLOB, counts TEXT, drafts BLOB, orphaned INT);
CREATE TABLE IF NOT EXISTS files(path TEXT PRIMARY KEY, size INT, mtime INT, inode INT, hash INT);
)";

// Each step takes a state of version k + 1 to k + 2, inside the transaction that opens it.
// 2: the dismissals of checks on the project's pages (store/dismissals.h).
constexpr std::array<const char*, kStateVersion - 1> kMigrations = {kDismissalTableSchema};

constexpr const char* kColumns =
    "path, source_size, source_mtime, source_inode, source_hash, target_exists, target_size, "
    "target_mtime, target_inode, target_hash, counts, drafts, orphaned";

std::int64_t Signed(std::uint64_t v) {
    std::int64_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
}
std::uint64_t Unsigned(std::int64_t v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

std::string FormatCounts(const TPageCounts& c) {
    std::string s;
    for (std::uint64_t v : {c.Phrases, c.Words, c.Translated, c.TranslatedWords, c.InContext,
                            c.Exact, c.Fuzzy, c.FuzzyWords})
        s += std::to_string(v) + ' ';
    for (std::uint64_t v : c.Bands) s += std::to_string(v) + ' ';
    return s;
}

TPageCounts ParseCounts(std::string_view s) {
    std::vector<std::uint64_t> v;
    const char* p = s.data();
    const char* end = s.data() + s.size();
    while (p < end) {
        std::uint64_t n = 0;
        auto [next, ec] = std::from_chars(p, end, n);
        if (ec != std::errc()) break;
        v.push_back(n);
        p = next;
        while (p < end && *p == ' ') ++p;
    }
    v.resize(14);
    TPageCounts c{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], {}};
    for (std::size_t i = 0; i < 6; ++i) c.Bands[i] = v[8 + i];
    return c;
}

void AppendField(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out.append(text);
}

}  // namespace

TFileState StatFile(const std::string& path) {
    struct stat st;
    TFileState f;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return f;
    f.Exists = true;
    f.Size = st.st_size;
    f.MTime = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    f.Inode = static_cast<std::int64_t>(st.st_ino);
    return f;
}

std::string SerializeDrafts(const std::vector<TDraft>& drafts) {
    std::string out;
    for (const TDraft& d : drafts) {
        out += std::to_string(d.Phrase) + ' ' + std::to_string(d.Score) + ' ';
        AppendField(out, d.OldSource);
        AppendField(out, d.Target);
    }
    return out;
}

std::vector<TDraft> ParseDrafts(std::string_view bytes) {
    std::vector<TDraft> drafts;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    auto number = [&](std::size_t& n, char stop) {
        auto [next, ec] = std::from_chars(p, end, n);
        if (ec != std::errc() || next == end || *next != stop)
            throw TError("Projektzustand: Entwurf unlesbar", "Project state: a draft is damaged");
        p = next + 1;
    };
    auto field = [&](std::string& into) {
        std::size_t n = 0;
        number(n, ':');
        if (std::size_t(end - p) < n)
            throw TError("Projektzustand: Entwurf unlesbar", "Project state: a draft is damaged");
        into.assign(p, n);
        p += n;
    };
    while (p < end) {
        TDraft d;
        std::size_t score = 0;
        number(d.Phrase, ' ');
        number(score, ' ');
        d.Score = static_cast<int>(score);
        field(d.OldSource);
        field(d.Target);
        drafts.push_back(std::move(d));
    }
    return drafts;
}

namespace {

// The state's failures are named as the project's state, not as the memory whose store it uses.
const store::TDatabaseErrors kStateErrors{
    [](const std::string& path, std::string_view detail) {
        return ProjectStateError(TRecordFault::Damaged, path, detail);
    },
    [](const std::string& path) { return ProjectStateError(TRecordFault::Busy, path); },
    [](const std::string& path, std::string_view detail, int cause) {
        return ProjectStateError(TRecordFault::Failed, path, detail, cause);
    },
};

// Looks at the file's header before SQLite opens it, which writes to a file it takes for a
// database: another program's file or one of a newer state is refused as it is.
const std::string& Inspected(const std::string& path) {
    const store::TStoreFile file = store::InspectFile(path);
    if (file.State == store::TStoreFile::Other ||
        (file.State == store::TStoreFile::Database && file.ApplicationId != kApplicationId &&
         (file.ApplicationId != 0 || file.Version != 0)))
        throw ProjectStateError(TRecordFault::NotRecord, path);
    if (file.Version > kStateVersion)
        throw ProjectStateError(TRecordFault::Newer, path, std::to_string(file.Version));
    return path;
}

}  // namespace

struct TState::TImpl {
    TDatabase db;
    std::unique_ptr<TStoredDismissals> dismissals;
    explicit TImpl(const std::string& path)
        : db(Inspected(path), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
             kStateErrors) {}

    TPageRecord Read(TStatement& s, bool withBase, int baseColumn) {
        TPageRecord r;
        r.Path = std::string(s.Text(0));
        r.Source = {true, s.Int(1), s.Int(2), s.Int(3), Unsigned(s.Int(4))};
        r.Target = {s.Int(5) != 0, s.Int(6), s.Int(7), s.Int(8), Unsigned(s.Int(9))};
        r.Counts = ParseCounts(s.Text(10));
        r.Drafts = ParseDrafts(s.Blob(11));
        r.Orphaned = s.Int(12) != 0;
        if (withBase) r.Base = std::string(s.Blob(baseColumn));
        return r;
    }

    std::map<std::string, TPageRecord> All(const char* table, bool withBase) {
        std::string sql =
            std::string("SELECT ") + kColumns + (withBase ? ", base" : "") + " FROM " + table;
        TStatement s(db, sql);
        TStatement::TUse use(s);
        std::map<std::string, TPageRecord> out;
        while (s.Step()) {
            TPageRecord r = Read(s, withBase, 13);
            out.emplace(r.Path, std::move(r));
        }
        return out;
    }

    void Write(const char* table, const TPageRecord& r) {
        TStatement s(db, std::string("INSERT OR REPLACE INTO ") + table + "(" + kColumns +
                             ", base) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        TStatement::TUse use(s);
        s.Bind(1, r.Path);
        s.Bind(2, r.Source.Size);
        s.Bind(3, r.Source.MTime);
        s.Bind(4, r.Source.Inode);
        s.Bind(5, Signed(r.Source.Hash));
        s.Bind(6, std::int64_t(r.Target.Exists));
        s.Bind(7, r.Target.Size);
        s.Bind(8, r.Target.MTime);
        s.Bind(9, r.Target.Inode);
        s.Bind(10, Signed(r.Target.Hash));
        s.Bind(11, FormatCounts(r.Counts));
        s.BindBlob(12, SerializeDrafts(r.Drafts));
        s.Bind(13, std::int64_t(r.Orphaned));
        s.BindBlob(14, r.Base);
        s.Step();
    }
};

TState::TState(const std::string& path) : impl_(std::make_unique<TImpl>(path)) {
    TDatabase& db = impl_->db;
    sqlite3_busy_timeout(db.Handle(), 10000);
    auto check = [&] {
        const auto id = db.Number("PRAGMA application_id");
        const auto version = static_cast<int>(db.Number("PRAGMA user_version"));
        const auto tables = db.Number("SELECT count(*) FROM sqlite_master");
        if (tables == 0) return 0;  // a new file
        if (id != kApplicationId) throw ProjectStateError(TRecordFault::NotRecord, path);
        if (version > kStateVersion)
            throw ProjectStateError(TRecordFault::Newer, path, std::to_string(version));
        return version;
    };
    int version = check();
    if (version < kStateVersion) {
        // Made or migrated in one transaction; another process may have done it meanwhile.
        TTransaction t(db);
        version = check();
        if (version == 0) {
            db.Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            db.Exec(kSchema);
            version = 1;
        }
        for (; version < kStateVersion; ++version) db.Exec(kMigrations[version - 1]);
        db.Exec(("PRAGMA user_version = " + std::to_string(kStateVersion)).c_str());
        t.Commit();
    }
    db.Exec("PRAGMA journal_mode = WAL");
    impl_->dismissals = std::make_unique<TStoredDismissals>(db);
}

TState::~TState() = default;

std::map<std::string, TPageRecord> TState::Pages(bool withBase) {
    std::lock_guard lock(mutex_);
    return impl_->All("pages", withBase);
}

std::optional<TPageRecord> TState::Page(const std::string& path) {
    std::lock_guard lock(mutex_);
    TStatement s(impl_->db, std::string("SELECT ") + kColumns + ", base FROM pages WHERE path=?");
    TStatement::TUse use(s);
    s.Bind(1, path);
    if (!s.Step()) return std::nullopt;
    return impl_->Read(s, true, 13);
}

void TState::Put(const TPageRecord& record) {
    std::lock_guard lock(mutex_);
    TTransaction t(impl_->db);
    impl_->Write("pages", record);
    t.Commit();
}

void TState::SetOrphaned(const std::string& path, bool orphaned) {
    std::lock_guard lock(mutex_);
    TStatement s(impl_->db, "UPDATE pages SET orphaned=? WHERE path=?");
    TStatement::TUse use(s);
    s.Bind(1, std::int64_t(orphaned));
    s.Bind(2, path);
    s.Step();
}

void TState::PutPending(const TPageRecord& record) {
    std::lock_guard lock(mutex_);
    TTransaction t(impl_->db);
    impl_->Write("pending", record);
    t.Commit();
}

void TState::CommitPending(const std::string& path) {
    std::lock_guard lock(mutex_);
    TTransaction t(impl_->db);
    for (const char* sql : {"INSERT OR REPLACE INTO pages SELECT * FROM pending WHERE path=?",
                            "DELETE FROM pending WHERE path=?"}) {
        TStatement s(impl_->db, sql);
        TStatement::TUse use(s);
        s.Bind(1, path);
        s.Step();
    }
    t.Commit();
}

void TState::DropPending(const std::string& path) {
    std::lock_guard lock(mutex_);
    TStatement s(impl_->db, "DELETE FROM pending WHERE path=?");
    TStatement::TUse use(s);
    s.Bind(1, path);
    s.Step();
}

std::map<std::string, TPageRecord> TState::PendingPages() {
    std::lock_guard lock(mutex_);
    return impl_->All("pending", true);
}

std::map<std::string, TFileState> TState::Files() {
    std::lock_guard lock(mutex_);
    TStatement s(impl_->db, "SELECT path, size, mtime, inode, hash FROM files");
    TStatement::TUse use(s);
    std::map<std::string, TFileState> out;
    while (s.Step())
        out[std::string(s.Text(0))] = {true, s.Int(1), s.Int(2), s.Int(3), Unsigned(s.Int(4))};
    return out;
}

void TState::PutFile(const std::string& path, const TFileState& source) {
    std::lock_guard lock(mutex_);
    TStatement s(impl_->db, "INSERT OR REPLACE INTO files VALUES(?,?,?,?,?)");
    TStatement::TUse use(s);
    s.Bind(1, path);
    s.Bind(2, source.Size);
    s.Bind(3, source.MTime);
    s.Bind(4, source.Inode);
    s.Bind(5, Signed(source.Hash));
    s.Step();
}

bool TState::IsDismissed(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return impl_->dismissals->IsDismissed(key);
}

void TState::Dismiss(std::span<const std::string> keys) {
    std::lock_guard lock(mutex_);
    impl_->dismissals->Dismiss(keys);
}

}  // namespace quillfen::project
