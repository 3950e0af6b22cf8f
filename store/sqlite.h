#pragma once

// The few parts of SQLite's C API that Quillfen's files use (the translation memory, the
// dismissals of checks, the record of sources, a project's state), each failure turned into its
// store's TError: a damaged file (SQLITE_CORRUPT, SQLITE_NOTADB) as its Damaged error, a file
// another program holds past the wait as its Busy error, anything else as its Failed error with
// the system's cause. The memory's errors unless the database is opened with others.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quillfen {
class TError;
}

namespace quillfen::store {

// What a file is before SQLite opens it: SQLite would take any file for a database until it reads
// it, and WAL mode writes to it at once, so a store asks first. Other is no regular file or no
// SQLite database; a database gives its header's application id and user version.
struct TStoreFile {
    enum { Missing, Empty, Other, Database } State = Missing;
    std::uint32_t ApplicationId = 0;
    int Version = 0;
};
// Throws CannotOpenError where the file cannot be looked at or read.
TStoreFile InspectFile(const std::string& path);

// How a store names its failures, each given the file's path.
struct TDatabaseErrors {
    TError (*Damaged)(const std::string& path, std::string_view detail);
    TError (*Busy)(const std::string& path);
    TError (*Failed)(const std::string& path, std::string_view detail, int cause);
};
// DamagedMemoryError, MemoryBusyError, MemoryFailedError.
extern const TDatabaseErrors kMemoryErrors;

class TDatabase {
  public:
    // Opens path with sqlite3_open_v2's flags; the path names the store in errors.
    TDatabase(const std::string& path, int flags, const TDatabaseErrors& errors = kMemoryErrors);
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    sqlite3* Handle() const { return db_; }
    const std::string& Path() const { return path_; }
    // Runs statements that give no rows the caller needs.
    void Exec(const char* sql);
    // The first column of the first row of sql as a number (a pragma's value); 0 when none.
    std::int64_t Number(const char* sql);
    // Throws the error of result code, which the last call on the database returned.
    [[noreturn]] void Fail(int code) const;

  private:
    std::string path_;
    const TDatabaseErrors& errors_;
    sqlite3* db_ = nullptr;
};

// A prepared statement, kept and used again. Each use binds, steps and ends with Reset (a TUse
// does it on every way out), so that no read stays open across a commit.
class TStatement {
  public:
    TStatement(TDatabase& db, std::string_view sql);
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    // Parameters count from 1, columns from 0.
    void Bind(int i, std::int64_t value);
    void Bind(int i, std::string_view text);  // as TEXT
    void BindBlob(int i, std::string_view bytes);
    void BindNull(int i);
    // Steps once: true when a row is there to read.
    bool Step();
    void Reset();

    std::int64_t Int(int column) const;
    std::string_view Text(int column) const;
    std::string_view Blob(int column) const;
    bool IsNull(int column) const;

    // Resets the statement when it goes out of scope.
    class TUse {
      public:
        explicit TUse(TStatement& s) : s_(s) {}
        ~TUse() { s_.Reset(); }
        TUse(const TUse&) = delete;
        TUse& operator=(const TUse&) = delete;

      private:
        TStatement& s_;
    };

  private:
    TDatabase& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A write transaction: BEGIN IMMEDIATE, so that two writers queue at the start (waiting the busy
// timeout) instead of one failing half way; rolled back unless committed.
class TTransaction {
  public:
    explicit TTransaction(TDatabase& db);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit();

  private:
    TDatabase& db_;
    bool open_ = true;
};

}  // namespace quillfen::store
