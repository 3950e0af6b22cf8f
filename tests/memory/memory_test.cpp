#include "memory/memory.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/filestamp.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

TUnit Unit(std::string source, std::string target, std::int64_t time = 0, std::string page = {}) {
    TUnit unit;
    unit.Source = std::move(source);
    unit.Target = std::move(target);
    unit.Languages = {"en", "de"};
    unit.Time = time;
    unit.Context.Page = std::move(page);
    return unit;
}

// Runs SQL on a database with SQLite itself, as another program would.
void Sql(const std::string& path, const char* sql, bool checkpointOnClose = true) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    if (!checkpointOnClose) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void MakeMemory(const std::string& path, int units = 300) {
    TMemory memory(path);
    std::vector<TUnit> many;
    for (int k = 0; k < units; ++k)
        many.push_back(Unit("Sentence number " + std::to_string(k) + " of the page.",
                            "Satz " + std::to_string(k)));
    memory.Add(many);
}

// Every kind of file that is no memory to write into is refused with its own error before
// anything is written, and stays byte for byte as it was (the WAL file of another program's
// uncommitted checkpoint too).
TEST(Memory, RefusesWhatIsNoMemoryAndLeavesItAsItIs) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* error;
    } cases[] = {
        {"a text file", [](const std::string& p) { WriteBytes(p, "Hello, world!\n"); },
         "is not a Quillfen translation memory"},
        {"a text file as long as a header",
         [](const std::string& p) { WriteBytes(p, std::string(4096, 'x')); },
         "is not a Quillfen translation memory"},
        {"another program's database",
         [](const std::string& p) { Sql(p, "CREATE TABLE bookmarks(url TEXT)"); },
         "is not a Quillfen translation memory"},
        {"another program's database in WAL mode",
         [](const std::string& p) {
             Sql(p, "PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1)");
         },
         "is not a Quillfen translation memory"},
        {"a memory of a newer schema",
         [](const std::string& p) {
             MakeMemory(p);
             Sql(p, "PRAGMA user_version = 3");
         },
         "was written by a newer version of Quillfen (schema 3)"},
        {"a memory whose newer schema is still in its WAL file",
         [](const std::string& p) {
             MakeMemory(p);
             Sql(p, "PRAGMA user_version = 4", false);
         },
         "was written by a newer version of Quillfen (schema 4)"},
        {"a memory whose table of dismissals is gone",
         [](const std::string& p) {
             MakeMemory(p);
             Sql(p, "DROP TABLE dismissal");
         },
         "the table dismissal is missing"},
        {"a memory cut short",
         [](const std::string& p) {
             MakeMemory(p);
             std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2);
         },
         "is damaged"},
        {"a memory whose first page is garbage behind its header",
         [](const std::string& p) {
             MakeMemory(p);
             std::string bytes = ReadBytes(p);
             for (std::size_t i = 100; i < 4096; ++i) bytes[i] = static_cast<char>(i * 7);
             WriteBytes(p, bytes);
         },
         "is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string path = dir / "m.sqlite";
        c.make(path);
        const std::string before = ReadBytes(path);
        const bool wal = std::filesystem::exists(path + "-wal");
        const std::string walBefore = wal ? ReadBytes(path + "-wal") : "";
        try {
            TMemory memory(path);
            ADD_FAILURE() << "opened";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find(c.error), std::string::npos) << e.English();
            EXPECT_NE(std::string(e.English()).find(path), std::string::npos) << e.English();
        }
        EXPECT_EQ(ReadBytes(path), before);
        if (wal) {
            EXPECT_EQ(ReadBytes(path + "-wal"), walBefore);
        }
    }
}

// A memory whose pages behind the first are damaged opens (only a full check would tell), but
// reading or adding meets the damage, refuses, and leaves the file as it was.
TEST(Memory, DamageMetLaterRefusesAndChangesNothing) {
    TTempDir dir;
    const std::string path = dir / "m.sqlite";
    MakeMemory(path, 2000);
    std::string bytes = ReadBytes(path);
    for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 + 5);
    WriteBytes(path, bytes);
    TQuery query;
    query.Text = "Sentence number 5 of the page.";
    query.Languages = {"en", "de"};
    auto damaged = [&](const std::function<void()>& f) {
        try {
            TMemory memory(path);
            f();
            memory.Lookup(query);
            ADD_FAILURE() << "no damage met";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find("is damaged"), std::string::npos)
                << e.English();
        }
    };
    damaged([] {});
    damaged([&] {
        TMemory memory(path);
        memory.Add(Unit("A new sentence of the page.", "Ein neuer Satz."));
    });
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(Memory, MadeOnFirstUseWhereTheUserKeepsData) {
    TTempDir dir;
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string keepData = oldData ? oldData : "", keepHome = oldHome ? oldHome : "";
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    EXPECT_EQ(TMemory::DefaultPath(), dir / "data" + "/Quillfen/memory.sqlite");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: not used
    ::setenv("HOME", (dir / "home").c_str(), 1);
    EXPECT_EQ(TMemory::DefaultPath(), dir / "home" + "/.local/share/Quillfen/memory.sqlite");
    {
        const auto memory = TMemory::OpenDefault();
        memory->Add(Unit("Hello.", "Hallo."));
    }
    EXPECT_EQ(TMemory(dir / "home" + "/.local/share/Quillfen/memory.sqlite").UnitCount(), 1u);
    if (oldData)
        ::setenv("XDG_DATA_HOME", keepData.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", keepHome.c_str(), 1);
}

// The same source and target in one language pair (whatever case its tags are given in) is one
// unit, which keeps the newest context and time; another target is another unit.
TEST(Memory, OneUnitPerTranslationKeepsItsNewestContext) {
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    memory.Add(Unit("Open the file.",
                    "Datei \xC3\xB6"
                    "ffnen.",
                    2000, "b.html"));
    TUnit again = Unit("Open the file.",
                       "Datei \xC3\xB6"
                       "ffnen.",
                       1000, "a.html");
    again.Languages = {"EN", "de"};
    memory.Add(again);  // older: its context is not kept
    memory.Add(Unit("Open the file.",
                    "Datei \xC3\xB6"
                    "ffnen.",
                    3000, "c.html"));
    memory.Add(Unit("Open the file.",
                    "\xC3\x96"
                    "ffne die Datei.",
                    500, "d.html"));
    std::vector<TUnit> units;
    memory.ForEachUnit("en", "DE", [&](const TUnit& u) { units.push_back(u); });
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].Context.Page, "c.html");
    EXPECT_EQ(units[0].Time, 3000);
    EXPECT_EQ(units[1].Context.Page, "d.html");
}

// Two processes add to one memory at once, each unit its own transaction: both finish and
// every unit is there.
TEST(Memory, TwoProcessesWriteOneMemoryAtOnce) {
    TTempDir dir;
    const std::string path = dir / "m.sqlite";
    TMemory(path).Add(Unit("First.", "Erstens."));
    constexpr int kEach = 150;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                TMemory memory(path);
                for (int k = 0; k < kEach; ++k) {
                    memory.Add(Unit(
                        "Process " + std::to_string(c) + " sentence " + std::to_string(k) + ".",
                        "Satz " + std::to_string(k)));
                    TQuery query;
                    query.Text = "Process " + std::to_string(1 - c) + " sentence 3.";
                    query.Languages = {"en", "de"};
                    memory.Lookup(query);
                }
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(TMemory(path).UnitCount(), 1u + 2 * kEach);
}

}  // namespace
}  // namespace quillfen
