#include "store/sqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <new>

#include "core/errors.h"

namespace quillfen::store {

const TDatabaseErrors kMemoryErrors{
    [](const std::string& path, std::string_view detail) {
        return DamagedMemoryError(path, detail);
    },
    [](const std::string& path) { return MemoryBusyError(path); },
    [](const std::string& path, std::string_view detail, int cause) {
        return MemoryFailedError(path, detail, cause);
    },
};

TDatabase::TDatabase(const std::string& path, int flags, const TDatabaseErrors& errors)
    : path_(path), errors_(errors) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        if (!db_) throw std::bad_alloc();
        try {
            Fail(rc);
        } catch (...) {
            sqlite3_close(db_);
            throw;
        }
    }
}

TDatabase::~TDatabase() { sqlite3_close_v2(db_); }

void TDatabase::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

std::int64_t TDatabase::Number(const char* sql) {
    TStatement statement(*this, sql);
    TStatement::TUse use(statement);
    return statement.Step() ? statement.Int(0) : 0;
}

void TDatabase::Fail(int code) const {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    switch (code & 0xFF) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            throw errors_.Damaged(path_, message);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw errors_.Busy(path_);
        case SQLITE_NOMEM:
            throw std::bad_alloc();
        default:
            throw errors_.Failed(path_, message, db_ ? sqlite3_system_errno(db_) : 0);
    }
}

TStatement::TStatement(TDatabase& db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v3(db.Handle(), sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) db.Fail(rc);
}

TStatement::~TStatement() { sqlite3_finalize(stmt_); }

namespace {

int Length(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw std::bad_alloc();
    return static_cast<int>(bytes.size());
}

}  // namespace

void TStatement::Bind(int i, std::int64_t value) {
    const int rc = sqlite3_bind_int64(stmt_, i, value);
    if (rc != SQLITE_OK) db_.Fail(rc);
}

void TStatement::Bind(int i, std::string_view text) {
    // A text is copied, so that the caller's buffer may go before the step.
    const int rc =
        sqlite3_bind_text(stmt_, i, text.data() ? text.data() : "", Length(text), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) db_.Fail(rc);
}

void TStatement::BindBlob(int i, std::string_view bytes) {
    const int rc = sqlite3_bind_blob(stmt_, i, bytes.data() ? bytes.data() : "", Length(bytes),
                                     SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) db_.Fail(rc);
}

void TStatement::BindNull(int i) {
    const int rc = sqlite3_bind_null(stmt_, i);
    if (rc != SQLITE_OK) db_.Fail(rc);
}

bool TStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.Fail(rc);
}

void TStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t TStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string_view TStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return text ? std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n))
                : std::string_view();
}

std::string_view TStatement::Blob(int column) const {
    const void* bytes = sqlite3_column_blob(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(n))
                 : std::string_view();
}

bool TStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

TTransaction::TTransaction(TDatabase& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

TTransaction::~TTransaction() {
    if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
    db_.Exec("COMMIT");
    open_ = false;
}

TStoreFile InspectFile(const std::string& path) {
    TStoreFile file;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return file;
        throw CannotOpenError(path, errno);
    }
    file.State = !S_ISREG(info.st_mode) ? TStoreFile::Other
                 : info.st_size == 0    ? TStoreFile::Empty
                                        : TStoreFile::Database;
    if (file.State != TStoreFile::Database) return file;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CannotOpenError(path, errno);
    unsigned char header[100] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (in.gcount() != static_cast<std::streamsize>(sizeof header) ||
        std::memcmp(header, "SQLite format 3", 16) != 0) {
        file.State = TStoreFile::Other;
        return file;
    }
    // Big-endian, at the offsets SQLite's file format gives them.
    auto number = [&](int at) {
        return std::uint32_t(header[at]) << 24 | std::uint32_t(header[at + 1]) << 16 |
               std::uint32_t(header[at + 2]) << 8 | std::uint32_t(header[at + 3]);
    };
    file.Version = static_cast<int>(number(60));
    file.ApplicationId = number(68);
    return file;
}

}  // namespace quillfen::store
