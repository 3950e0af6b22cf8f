#include "core/files/savefile.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"

namespace quillfen {
namespace {

namespace fs = std::filesystem;

constexpr uid_t Nobody = 65534;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& p, std::string_view bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

struct stat Stat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

// Starts fn in a child process, which exits with what fn gives.
pid_t Spawn(const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = fn();
        } catch (...) {
        }
        ::_exit(code);
    }
    return pid;
}

// The exit code of a child, or 128 and the signal that killed it.
int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs fn in a child process, so that a changed user or a file size limit stays there; gives its
// exit code.
int InChild(const std::function<int()>& fn) { return Wait(Spawn(fn)); }

// One process tells another that it got somewhere.
class TSignal {
  public:
    TSignal() { EXPECT_EQ(::pipe(ends_), 0); }
    ~TSignal() {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    TSignal(const TSignal&) = delete;
    TSignal& operator=(const TSignal&) = delete;
    void Give() const {
        const char c = 1;
        EXPECT_EQ(::write(ends_[1], &c, 1), 1);
    }
    // False when none came within the time.
    bool Take(int milliseconds) const {
        pollfd ready{ends_[0], POLLIN, 0};
        char c = 0;
        return ::poll(&ready, 1, milliseconds) == 1 && ::read(ends_[0], &c, 1) == 1;
    }

  private:
    int ends_[2] = {-1, -1};
};

// 0 written, 1 refused with the file error, 2 refused for another cause than `cause`.
int Save(const fs::path& page, std::string_view bytes, int cause = 0) {
    try {
        WriteFileAtomically(page, bytes);
        return 0;
    } catch (const TError& e) {
        return cause == 0 || e.Cause == cause ? 1 : 2;
    }
}

class SaveFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "qf-save-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        Dir = name;
        ::chmod(Dir.c_str(), 0755);
        ::setenv("XDG_CACHE_HOME", (Dir / "cache").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CACHE_HOME");
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    fs::path Page(const std::string& name, std::string_view bytes = "<p>old</p>\n",
                  mode_t mode = 0644) {
        const fs::path p = Dir / name;
        Put(p, bytes);
        ::chmod(p.c_str(), mode);
        return p;
    }
    // What the folder holds besides the cache: no temporary file may stay behind.
    std::set<std::string> Names(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename() != "cache") names.insert(e.path().filename().string());
        return names;
    }
    fs::path Dir;
};

bool Root() { return ::geteuid() == 0; }

// What is no regular file is refused by its kind before it is opened (opening a device can have
// effects), by readers and saves alike; where the system refuses, its cause is told as it gave it.
TEST_F(SaveFile, ReadingAndSavingRefuseWhatIsNoRegularFileAtOnceAndHugeFilesUnread) {
    const fs::path fifo = Dir / "fifo", socket = Dir / "sock", big = Page("big.html", "");
    const fs::path page = Page("page.html");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);  // no writer: opening it blocking would hang
    fs::create_directory(Dir / "folder");
    fs::create_symlink(fifo, Dir / "to-fifo");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::resize_file(big, MaxFileBytes + 1);  // sparse
    const std::string notRegular = " (keine regul\xC3\xA4re Datei: ";
    const struct {
        fs::path Path;
        std::string Reason;
        int Cause;
    } cases[] = {{fifo, notRegular + "FIFO)", 0},
                 {Dir / "to-fifo", notRegular + "FIFO)", 0},
                 {Dir / "folder", notRegular + "Ordner)", 0},
                 {socket, notRegular + "Socket)", 0},
                 {"/dev/null", notRegular + "Zeichenger\xC3\xA4t)", 0},
                 {page / "x.html", "", ENOTDIR},
                 {Dir / "missing" / "x.html", "", ENOENT},
                 {big,
                  " (gr\xC3\xB6\xC3\x9F"
                  "er als 1 GiB)",
                  0}};
    for (const auto& c : cases) {
        // A memory limit below the file's size shows that the big one is refused unread.
        const int code = InChild([&] {
#ifndef __SANITIZE_ADDRESS__
            const rlimit memory{std::size_t{512} << 20, std::size_t{512} << 20};
            ::setrlimit(RLIMIT_AS, &memory);
#endif
            TFileStamp stamp;
            for (int stamped = 0; stamped < 2; ++stamped) {
                try {
                    stamped ? ReadFileStamped(c.Path, stamp) : ReadFileBytes(c.Path);
                    return 2;
                } catch (const TError& e) {
                    const std::string want = "Datei " + c.Path.string() +
                                             " kann nicht ge\xC3\xB6"
                                             "ffnet werden" +
                                             c.Reason;
                    if (e.what() != want || e.Cause != c.Cause) return 3;
                }
            }
            return 0;
        });
        EXPECT_EQ(code, 0) << c.Path;
        if (c.Path == big) continue;
        try {
            WriteFileAtomically(c.Path, "new");
            ADD_FAILURE() << c.Path << " was written";
        } catch (const TError& e) {
            EXPECT_EQ(e.what(),
                      "Datei " + c.Path.string() + " kann nicht erstellt werden" + c.Reason);
            EXPECT_EQ(e.Cause, c.Cause) << c.Path;
        }
    }
    ::close(s);
    EXPECT_EQ(Slurp(page), "<p>old</p>\n");
    EXPECT_EQ(Names(Dir), (std::set<std::string>{"fifo", "sock", "folder", "to-fifo", "page.html",
                                                 "big.html"}));
}

TEST_F(SaveFile, ChangedOnDiskCountsOnlyOtherBytes) {
    const std::string bytes = "<p>old</p>\n";
    const struct {
        const char* Name;
        std::function<void(const fs::path&)> Change;
        bool Changed;
    } cases[] = {
        {"nothing", [](const fs::path&) {}, false},
        {"touch", [](const fs::path& p) { ::utimensat(AT_FDCWD, p.c_str(), nullptr, 0); }, false},
        {"same bytes, new inode",
         [&](const fs::path& p) {
             Put(p.string() + ".new", bytes);
             fs::rename(p.string() + ".new", p);
         },
         false},
        {"other size", [](const fs::path& p) { Put(p, "<p>longer</p>\n"); }, true},
        {"same size and time, other bytes",
         [](const fs::path& p) {
             const struct stat st = Stat(p);
             // The file system stamps changes with the coarse clock: once it has moved on,
             // the write below gets a change time of its own.
             timespec now{};
             do {
                 ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
             } while (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec == st.st_ctim.tv_nsec);
             Put(p, "<p>new</p>\n");
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, p.c_str(), times, 0);
         },
         true},
        {"deleted", [](const fs::path& p) { fs::remove(p); }, true},
        {"now a folder",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         true},
    };
    for (const auto& c : cases) {
        const fs::path page = Page("page.html", bytes);
        TFileStamp stamp;
        ASSERT_EQ(ReadFileStamped(page, stamp), bytes);
        EXPECT_EQ(stamp.Inode, Stat(page).st_ino);
        EXPECT_EQ(stamp.Hash, HashBytes(bytes));
        c.Change(page);
        EXPECT_EQ(ChangedOnDisk(page, stamp), c.Changed) << c.Name;
        fs::remove_all(page);
    }
}

// A file written from pieces is hashed piece by piece: the hash must not depend on where the
// pieces end.
TEST(Hash, PiecesHashAsTheWholeWhereverTheyAreCut) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
    for (std::size_t length : {0u, 1u, 4u, 8u, 31u, 32u, 33u, 64u, 95u, 300u}) {
        const std::string_view whole = std::string_view(bytes).substr(0, length);
        for (std::size_t step : {1u, 3u, 7u, 32u, 33u}) {
            TPieces pieces;
            for (std::size_t at = 0; at < length; at += step) pieces.Add(whole.substr(at, step));
            EXPECT_EQ(pieces.Hash(), HashBytes(whole)) << length << " " << step;
            EXPECT_EQ(pieces.Hash(length / 3, 40), HashBytes(whole.substr(length / 3, 40)));
            EXPECT_EQ(pieces.Joined(), whole);
        }
    }
}

TEST_F(SaveFile, TheStampOfASaveDescribesTheFileAsWritten) {
    const fs::path single = Page("single.html"), linked = Page("linked.html");
    fs::create_hard_link(linked, Dir / "other-name.html");
    for (const fs::path& page : {single, linked, Dir / "new.html"}) {
        TFileStamp written, read;
        WriteFileAtomically(page, "<p>new bytes</p>\n", written);
        ReadFileStamped(page, read);
        EXPECT_EQ(written, read) << page;
        EXPECT_FALSE(ChangedOnDisk(page, written)) << page;
    }
}

TEST_F(SaveFile, SavingKeepsLinksModeOwnerAndGroup) {
    const fs::path linked = Page("linked.html"), target = Page("target.html"),
                   special = Page("special.html", "old", 06754), shared = Dir / "shared";
    fs::create_hard_link(linked, Dir / "twin.html");
    fs::create_symlink(target, Dir / "link.html");
    std::vector<fs::path> pages{linked, Dir / "link.html", special};
    if (Root()) {
        const fs::path others = Page("others.html");
        EXPECT_EQ(::chown(others.c_str(), 1234, 4321), 0);
        EXPECT_EQ(::chmod(others.c_str(), 06750), 0);  // after chown, which clears these bits
        fs::create_directory(shared);
        EXPECT_EQ(::chown(shared.c_str(), 0, 100), 0);
        EXPECT_EQ(::chmod(shared.c_str(), 02775), 0);
        const fs::path own = Page("shared/own.html");
        EXPECT_EQ(::chown(own.c_str(), 0, 0), 0);  // the user's own group, not the folder's
        pages.insert(pages.end(), {others, own});
    }
    for (const fs::path& page : pages) {
        WriteFileAtomically(page, "new");
        EXPECT_EQ(Slurp(page), "new") << page;
        EXPECT_FALSE(FindCrashBackup(page)) << page;
    }
    EXPECT_EQ(Slurp(Dir / "twin.html"), "new");
    EXPECT_EQ(Stat(linked).st_nlink, 2u);
    EXPECT_TRUE(fs::is_symlink(Dir / "link.html"));
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(Stat(special).st_mode & 07777, 06754u);
    if (!Root()) GTEST_SKIP() << "another owner and group need root";
    const struct stat others = Stat(Dir / "others.html");
    EXPECT_EQ(others.st_uid, 1234u);
    EXPECT_EQ(others.st_gid, 4321u);
    EXPECT_EQ(others.st_mode & 07777, 06750u);
    EXPECT_EQ(Stat(shared / "own.html").st_gid, 0u);
}

TEST_F(SaveFile, SavingKeepsTheAclAndExtendedAttributes) {
    const fs::path page = Page("page.html");
    acl_t acl = ::acl_from_text("u::rw-,u:65534:rw-,g::r--,m::r--,o::r--");
    const bool aclKept = ::acl_set_file(page.c_str(), ACL_TYPE_ACCESS, acl) == 0;
    ::acl_free(acl);
    const bool xattrKept = ::setxattr(page.c_str(), "user.quillfen", "mark", 4, 0) == 0;
    if (!aclKept && !xattrKept) GTEST_SKIP() << "the file system keeps neither ACLs nor xattrs";
    WriteFileAtomically(page, "<p>new</p>\n");
    EXPECT_EQ(Slurp(page), "<p>new</p>\n");
    if (aclKept) {
        acl_t now = ::acl_get_file(page.c_str(), ACL_TYPE_ACCESS);
        char* text = ::acl_to_any_text(now, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
        EXPECT_STREQ(text, "u::rw-,u:65534:rw-,g::r--,m::r--,o::r--");
        ::acl_free(text);
        ::acl_free(now);
        EXPECT_EQ(Stat(page).st_mode & 07777, 0644u);  // the mask did not become group write
    }
    if (xattrKept) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(page.c_str(), "user.quillfen", value, sizeof value), 4);
        EXPECT_STREQ(value, "mark");
    }
}

TEST_F(SaveFile, TheSystemDecidesWhoMayWriteThePage) {
    const fs::path readOnly = Page("read-only.html", "old", 0444);
    EXPECT_EQ(Save(readOnly, "new"), 1);  // refused even for root
    EXPECT_EQ(Slurp(readOnly), "old");
    if (!Root()) GTEST_SKIP() << "the other cases switch to nobody";

    for (const auto& [folder, mode] :
         {std::pair{"open", 0777}, {"closed", 0755}, {"cache", 0777}}) {
        fs::create_directories(Dir / folder);
        ASSERT_EQ(::chmod((Dir / folder).c_str(), mode), 0);
    }
    // Each page is written in place or not at all: nobody cannot give a new file root as its
    // owner and may not replace a file in the closed folder.
    const struct {
        const char* Name;
        uid_t Owner;
        gid_t Group;
        mode_t Mode;
        int Result;
    } cases[] = {
        {"open/root-0644.html", 0, 0, 0644, 1},
        {"open/root-0666.html", 0, 0, 0666, 0},
        {"closed/root-0666.html", 0, 0, 0666, 0},
        {"open/own-0464.html", Nobody, Nobody, 0464, 1},  // the group may write, the owner not
    };
    for (const auto& c : cases) {
        const fs::path page = Page(c.Name, "old");
        ASSERT_EQ(::chown(page.c_str(), c.Owner, c.Group), 0);
        ASSERT_EQ(::chmod(page.c_str(), c.Mode), 0);
        const struct stat before = Stat(page);
        EXPECT_EQ(
            InChild([&] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
                    return 98;
                return Save(page, "new");
            }),
            c.Result)
            << c.Name;
        EXPECT_EQ(Slurp(page), c.Result == 0 ? "new" : "old") << c.Name;
        const struct stat after = Stat(page);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.Name;
        EXPECT_EQ(after.st_uid, c.Owner) << c.Name;
        EXPECT_EQ(after.st_gid, c.Group) << c.Name;
        EXPECT_EQ(after.st_mode & 07777, c.Mode) << c.Name;
    }
}

TEST_F(SaveFile, ALongNameIsSavedWithoutLeftovers) {
    const std::string name = std::string(245, 'n') + ".html";  // 250 bytes
    EXPECT_EQ(Save(Dir / name, "first"), 0);
    EXPECT_EQ(Save(Dir / name, "second"), 0);
    EXPECT_EQ(Slurp(Dir / name), "second");
    EXPECT_EQ(Names(Dir), std::set<std::string>{name});
}

TEST_F(SaveFile, AFullDiskLeavesTheOldBytes) {
    const std::string old(100, 'o'), bigger(8192, 'n');
    for (const bool linked : {false, true}) {
        const fs::path page = Page("page.html", old);
        if (linked) fs::create_hard_link(page, Dir / "twin.html");
        const timespec long_ago[2] = {{946684800, 0}, {946684800, 0}};
        ::utimensat(AT_FDCWD, page.c_str(), long_ago, 0);
        EXPECT_EQ(InChild([&] {
                      ::signal(SIGXFSZ, SIG_IGN);
                      const rlimit limit{4096, 4096};
                      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 98;
                      return Save(page, bigger, EFBIG);
                  }),
                  1)
            << linked;
        EXPECT_EQ(Slurp(page), old) << linked;
        // Its times too, so that no other program takes it for changed.
        EXPECT_EQ(Stat(page).st_mtim.tv_sec, long_ago[1].tv_sec) << linked;
        EXPECT_FALSE(FindCrashBackup(page)) << linked;
        std::set<std::string> names{"page.html"};
        if (linked) names.insert("twin.html");
        EXPECT_EQ(Names(Dir), names);
        fs::remove(Dir / "twin.html");
    }
}

TEST_F(SaveFile, AFailedInPlaceWritePutsTheOldBytesBackOrKeepsThemInTheCache) {
    const std::string old = "<p>the old page</p>\n";
    const fs::path page = Page("page.html", old);
    fs::create_hard_link(page, Dir / "twin.html");
    TSaveHooks hooks;
    hooks.InPlaceFailAfter = 5;
    {
        const TSaveHooksScope scope(hooks);
        EXPECT_EQ(Save(page, "<p>a new page, longer than the old one</p>\n", ENOSPC), 1);
    }
    EXPECT_EQ(Slurp(Dir / "twin.html"), old);
    EXPECT_FALSE(FindCrashBackup(page));

    hooks.RestoreFails = true;
    {
        const TSaveHooksScope scope(hooks);
        EXPECT_EQ(Save(page, "<p>new</p>\n", ENOSPC), 1);
    }
    EXPECT_NE(Slurp(page), old);
    const auto backup = FindCrashBackup(page);
    ASSERT_TRUE(backup);
    EXPECT_EQ(Slurp(*backup), old);
    // The same file under its other name.
    EXPECT_EQ(FindCrashBackup(Dir / "twin.html"), backup);
    EXPECT_EQ(fs::path(*backup).parent_path(), Dir / "cache" / "Quillfen" / "backup");

    // The torn page is not overwritten until its old bytes are back.
    EXPECT_THROW(WriteFileAtomically(page, "<p>new</p>\n"), TInterruptedSaveError);
    RecoverInterruptedSave(Dir / "twin.html");
    EXPECT_EQ(Slurp(page), old);
    EXPECT_FALSE(FindCrashBackup(page));
    EXPECT_EQ(Save(page, "<p>new</p>\n"), 0);
    EXPECT_EQ(Slurp(Dir / "twin.html"), "<p>new</p>\n");
}

// What the backup folder holds: after any save that ended, nothing.
std::set<std::string> Leftovers(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir / "cache" / "Quillfen" / "backup", ec))
        names.insert(e.path().filename().string());
    return names;
}

TEST_F(SaveFile, AnotherProgramsWriteBeforeTheLastCheckIsKeptAndTheSaveRefused) {
    const std::string read = "<p>as read</p>\n";
    const struct {
        const char* Name;
        bool Linked;     // a second hard link makes the save write in place
        const char* As;  // the name the save is given
        std::function<void(const fs::path&)> Change;
        std::string Now;  // the page after the save; empty: the save's bytes
    } cases[] = {
        {"nothing", false, "page.html", [](const fs::path&) {}, ""},
        {"nothing, in place", true, "twin.html", [](const fs::path&) {}, ""},
        {"append", false, "page.html",
         [](const fs::path& p) { std::ofstream(p, std::ios::app) << "<p>more</p>\n"; },
         read + "<p>more</p>\n"},
        {"append, in place", true, "twin.html",
         [](const fs::path& p) { std::ofstream(p, std::ios::app) << "<p>more</p>\n"; },
         read + "<p>more</p>\n"},
        {"replaced by rename", false, "sub/../page.html",
         [](const fs::path& p) {
             Put(p.string() + ".new", "<p>theirs</p>\n");
             fs::rename(p.string() + ".new", p);
         },
         "<p>theirs</p>\n"},
        {"replaced by rename, in place", true, "page.html",
         [](const fs::path& p) {
             Put(p.string() + ".new", "<p>theirs</p>\n");
             fs::rename(p.string() + ".new", p);
         },
         "<p>theirs</p>\n"},
        {"same size and times, in place", true, "./page.html",
         [](const fs::path& p) {
             const struct stat st = Stat(p);
             {
                 std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
                 f.write("<P>", 3);
             }
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, p.c_str(), times, 0);
         },
         "<P>as read</p>\n"},
    };
    fs::create_directory(Dir / "sub");
    for (const auto& c : cases) {
        const fs::path page = Page("page.html", read);
        if (c.Linked) fs::create_hard_link(page, Dir / "twin.html");
        TFileStamp stamp;
        ReadFileStamped(page, stamp);
        TSaveHooks hooks;
        // Another process, which finishes its write before the save looks for the last time.
        hooks.BeforeFinalCheck = [&] {
            EXPECT_EQ(InChild([&] {
                          c.Change(page);
                          return 0;
                      }),
                      0);
        };
        TSaveOptions options;
        options.Read = &stamp;
        options.ReadFrom = page;
        options.Hooks = &hooks;
        std::string refusal;
        try {
            TFileStamp written;
            WriteFileAtomically(Dir / c.As, "<p>ours</p>\n", written, options);
        } catch (const TError& e) {
            refusal = e.what();
        }
        if (c.Now.empty()) {
            EXPECT_EQ(refusal, "") << c.Name;
            EXPECT_EQ(Slurp(page), "<p>ours</p>\n") << c.Name;
        } else {
            EXPECT_EQ(refusal, ChangedWhileReadError().what()) << c.Name;
            EXPECT_EQ(Slurp(page), c.Now) << c.Name;
        }
        std::set<std::string> names{"page.html", "sub"};
        if (c.Linked) names.insert("twin.html");
        EXPECT_EQ(Names(Dir), names) << c.Name;
        EXPECT_EQ(Leftovers(Dir), std::set<std::string>{}) << c.Name;
        fs::remove(Dir / "twin.html");
    }
}

// A page whose content tells its pieces apart.
std::string Numbered(std::size_t size, char tag) {
    std::string s;
    for (std::size_t i = 0; s.size() < size; ++i)
        s += "<p>" + std::string(1, tag) + std::to_string(i) + "</p>\n";
    s.resize(size);
    return s;
}

constexpr std::size_t Mi = std::size_t{1} << 20;

// The name of the record of an interrupted save of the file at p: its device and inode.
std::string Key(const fs::path& p) {
    const struct stat st = Stat(p);
    char key[40];
    std::snprintf(key, sizeof key, "%016llx-%016llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return key;
}

fs::path Backups(const fs::path& dir) { return dir / "cache" / "Quillfen" / "backup"; }

// Moves the record of an interrupted save to the file `to`, as when `to` is a new file that took
// the inode of the page after all the page's names were deleted.
void MoveRecord(const fs::path& dir, const std::string& key, const fs::path& to) {
    fs::rename(Backups(dir) / (key + ".record"), Backups(dir) / (Key(to) + ".record"));
}

TEST_F(SaveFile, AnInPlaceSaveKilledHalfwayIsToldAtTheNextReadAndOnlyATornPageRecovered) {
    const std::string old = Numbered(2 * Mi + 12345, 'o');
    const std::string longer = Numbered(3 * Mi + 99, 'n'), shorter = Numbered(Mi + 777, 's');
    // Pages this large are compared by EXPECT_TRUE: a failed EXPECT_EQ would print their diff.
    // What happens after the kill; gives the file that is read next.
    using TThen = std::function<fs::path(const fs::path& page, const std::string& key)>;
    const TThen nothing = [&](const fs::path&, const std::string&) { return Dir / "twin.html"; };
    const TThen appended = [&](const fs::path& page, const std::string&) {
        std::ofstream(page, std::ios::app) << "<p>theirs</p>";
        return Dir / "twin.html";
    };
    // Another program writes a few bytes in place, beyond what the save had written.
    const TThen inside = [&](const fs::path& page, const std::string&) {
        std::fstream f(page, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(500000);
        f.write("<p>theirs</p>", 13);
        return Dir / "twin.html";
    };
    const auto reused = [&](bool tornBytes) -> TThen {
        return [&, tornBytes](const fs::path& page, const std::string& key) {
            const std::string now = tornBytes ? Slurp(page) : std::string(50, 'x');
            fs::remove(page);
            fs::remove(Dir / "twin.html");
            Put(Dir / "other.html", now);
            MoveRecord(Dir, key, Dir / "other.html");
            return Dir / "other.html";
        };
    };
    const struct {
        const std::string& Next;
        std::size_t KilledAfter;  // bytes of the new page written in place
        TThen Then;
        const char* Told;  // "": nothing; else the interruption, which only "torn" recovers
    } cases[] = {
        {longer, 0, nothing, ""},
        {shorter, 0, nothing, ""},
        {longer, 1000, nothing, "torn"},
        {shorter, Mi + 5, nothing, "torn"},
        {longer, 2 * Mi, nothing, "torn"},
        {longer, 2 * Mi + 12345 + 10, nothing, "torn"},  // the page has grown already
        {shorter, Mi + 5, appended, "written"},
        {longer, 0, appended, "written"},
        {longer, 1000, inside, "written"},
        {longer, 1000, reused(false), "unproven"},
        {longer, 1000, reused(true), "unproven"},
    };
    for (const auto& c : cases) {
        const std::string label = std::to_string(c.Next.size()) + " killed after " +
                                  std::to_string(c.KilledAfter) + " " + c.Told;
        const fs::path page = Page("page.html", old);
        fs::create_hard_link(page, Dir / "twin.html");
        const std::string key = Key(page);
        const int status = InChild([&] {
            TSaveHooks hooks;
            hooks.InPlaceFailAfter = c.KilledAfter;
            hooks.AtInPlaceFault = [] { ::raise(SIGKILL); };
            TFileStamp read, written;
            ReadFileStamped(page, read);
            TSaveOptions options;
            options.Read = &read;
            options.ReadFrom = page;
            options.Hooks = &hooks;
            WriteFileAtomically(page, c.Next, written, options);
            return 0;
        });
        ASSERT_EQ(status, 128 + SIGKILL) << label;
        const fs::path next = c.Then(page, key);
        const std::string before = Slurp(next);
        const std::optional<std::string> backup = FindCrashBackup(next);
        TDocument doc;
        std::string told;
        try {
            doc.LoadFile(next, TTags::AllKinds);
            EXPECT_TRUE(doc.Bytes() == old) << label;
        } catch (const TInterruptedSaveError& e) {
            told = e.What == TInterruption::Torn           ? "torn"
                   : e.What == TInterruption::WrittenSince ? "written"
                                                           : "unproven";
            EXPECT_EQ(e.Foreign, e.What != TInterruption::Torn) << label;
            ASSERT_TRUE(backup) << label;
            EXPECT_EQ(e.Backup, *backup) << label;
            EXPECT_NE(std::string(e.what()).find(*backup), std::string::npos) << label;
            EXPECT_TRUE(Slurp(*backup) == old) << label;
            // Saving does not make the damage final either, under any name.
            EXPECT_THROW(WriteFileAtomically(next, "<p>new</p>"), TInterruptedSaveError) << label;
            EXPECT_TRUE(Slurp(next) == before) << label;
            if (!e.Foreign) {
                RecoverInterruptedSave(next);
                EXPECT_TRUE(Slurp(next) == old) << label;
            } else {
                // Nothing is written over what another program wrote or over another file; the
                // copy stays until the user deletes it, and then the page is read as it is.
                EXPECT_THROW(RecoverInterruptedSave(next), TInterruptedSaveError) << label;
                EXPECT_TRUE(Slurp(next) == before) << label;
                EXPECT_EQ(FindCrashBackup(next), backup) << label;
                EXPECT_TRUE(Slurp(*backup) == old) << label;
                fs::remove(*backup);
            }
            doc.LoadFile(next, TTags::AllKinds);
            EXPECT_TRUE(doc.Bytes() == (e.Foreign ? before : old)) << label;
        }
        EXPECT_EQ(told, c.Told) << label;
        EXPECT_FALSE(FindCrashBackup(next)) << label;
        EXPECT_EQ(Leftovers(Dir), std::set<std::string>{}) << label;
        for (const std::string& name : Names(Dir)) {
            EXPECT_EQ(name.find(".quillfen-"), std::string::npos) << label;
            fs::remove(Dir / name);
        }
    }
}

// The record an earlier version wrote: no birth time and no hash of the old bytes, and the new
// bytes hashed by the MiB.
std::string EarlierRecord(const std::string& copy, const std::string& old, const std::string& next,
                          const fs::path& page) {
    const auto hex = [](std::uint64_t value) {
        char text[20];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
        return std::string(text);
    };
    std::string text = "quillfen in-place save 1\nbackup ";
    text.append(copy).append("\nold-size ").append(std::to_string(old.size()));
    text.append("\nnew-size ").append(std::to_string(next.size()));
    text.append("\nnew-hash ").append(hex(HashBytes(next))).append("\npieces");
    for (std::size_t at = 0; at < next.size(); at += Mi)
        text.append(" ").append(hex(HashBytes(std::string_view(next).substr(at, Mi))));
    return text.append("\npath ").append(fs::weakly_canonical(page).string());
}

// Such a record cannot prove a page torn: it lets the page go when it is the old or the new page,
// and otherwise names the copy and restores nothing.
TEST_F(SaveFile, ARecordOfTheEarlierVersionNeverRestoresAPage) {
    const std::string old = Numbered(2 * Mi + 12345, 'o'), next = Numbered(3 * Mi + 99, 'n');
    const struct {
        const char* Name;
        std::string Now;
        bool Refused;
    } cases[] = {
        {"torn", next.substr(0, 1000) + old.substr(1000), true},
        {"torn after a MiB", next.substr(0, Mi + 5) + old.substr(Mi + 5), true},
        {"finished", next, false},
        {"untouched", old, false},
    };
    for (const auto& c : cases) {
        const fs::path page = Page("page.html", c.Now);
        fs::create_hard_link(page, Dir / "twin.html");
        fs::create_directories(Backups(Dir));
        const std::string copy = Key(page) + "-page.html";
        Put(Backups(Dir) / copy, old);
        Put(Backups(Dir) / (Key(page) + ".record"), EarlierRecord(copy, old, next, page));
        TDocument doc;
        bool refused = false;
        try {
            doc.LoadFile(Dir / "twin.html", TTags::AllKinds);
            EXPECT_TRUE(doc.Bytes() == c.Now) << c.Name;
        } catch (const TInterruptedSaveError& e) {
            refused = true;
            EXPECT_EQ(e.What, TInterruption::Unproven) << c.Name;
            EXPECT_EQ(e.Backup, (Backups(Dir) / copy).string()) << c.Name;
            EXPECT_THROW(RecoverInterruptedSave(page), TInterruptedSaveError) << c.Name;
            EXPECT_TRUE(Slurp(page) == c.Now) << c.Name;
            EXPECT_TRUE(Slurp(Backups(Dir) / copy) == old) << c.Name;
            fs::remove(Backups(Dir) / copy);
            doc.LoadFile(page, TTags::AllKinds);
            EXPECT_TRUE(doc.Bytes() == c.Now) << c.Name;
        }
        EXPECT_EQ(refused, c.Refused) << c.Name;
        EXPECT_EQ(Leftovers(Dir), std::set<std::string>{}) << c.Name;
        fs::remove(Dir / "twin.html");
    }
}

// A reader holds the page from before it looks for the record of an interrupted save until it
// has read it, so that a save cannot overwrite the page in place meanwhile.
TEST_F(SaveFile, AReaderSeesThePageWholeWhileASaveOverwritesItInPlace) {
    const std::string old = Numbered(2 * Mi, 'o'), next = Numbered(2 * Mi, 'n');
    const fs::path page = Page("page.html", old);
    fs::create_hard_link(page, Dir / "twin.html");
    const TSignal looked, written, resume;
    // Between its look and its read, the reader gives a save a moment to write.
    const pid_t reader = Spawn([&] {
        TSaveHooks hooks;
        hooks.AfterRecordLookup = [&] {
            looked.Give();
            written.Take(1000);
        };
        const TSaveHooksScope scope(hooks);
        TDocument doc;
        doc.LoadFile(Dir / "twin.html", TTags::AllKinds);
        return doc.Bytes() == old || doc.Bytes() == next ? 0 : 1;
    });
    ASSERT_TRUE(looked.Take(20000));
    // The save stops after the first MiB until the reader is done.
    const pid_t saver = Spawn([&] {
        TSaveHooks hooks;
        hooks.InPlaceFailAfter = Mi + 5;
        hooks.AtInPlaceFault = [&] {
            written.Give();
            resume.Take(20000);
        };
        const TSaveHooksScope scope(hooks);
        return Save(page, next, ENOSPC);
    });
    EXPECT_EQ(Wait(reader), 0);
    resume.Give();
    EXPECT_EQ(Wait(saver), 1);
    EXPECT_TRUE(Slurp(page) == old);
    EXPECT_EQ(Leftovers(Dir), std::set<std::string>{});
}

// The copy of the old bytes is written under a temporary name that its save holds locked; once
// the save is gone, the next save of any page removes what it left.
TEST_F(SaveFile, APartialCopyOfASaveKilledWhileCopyingGoesWithTheNextSave) {
    const std::string old = Numbered(3 * Mi, 'o');
    for (const char* next : {"page.html", "other.html"}) {
        const fs::path page = Page("page.html", old);
        Page("other.html");
        fs::create_hard_link(page, Dir / "twin.html");
        EXPECT_EQ(InChild([&] {
                      TSaveHooks hooks;
                      hooks.WhileCopying = [] { ::raise(SIGKILL); };
                      const TSaveHooksScope scope(hooks);
                      return Save(page, "<p>new</p>\n");
                  }),
                  128 + SIGKILL);
        EXPECT_EQ(Leftovers(Dir).size(), 1u) << next;
        EXPECT_FALSE(FindCrashBackup(page)) << next;
        fs::remove(Dir / "twin.html");
        EXPECT_EQ(Save(Dir / next, "<p>new</p>\n"), 0) << next;  // by rename
        EXPECT_EQ(Slurp(Dir / next), "<p>new</p>\n") << next;
        EXPECT_EQ(Leftovers(Dir), std::set<std::string>{}) << next;
        EXPECT_EQ(Names(Dir), (std::set<std::string>{"page.html", "other.html"})) << next;
    }
}

TEST_F(SaveFile, ASaveWaitsForTheLockAndRemovesOnlyLeftoversOfDeadSaves) {
    const fs::path page = Page("page.html");
    fs::create_hard_link(page, Dir / "twin.html");
    // Another save holds the page.
    const int held = ::open(page.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    TSaveOptions hurried;
    hurried.LockWait = std::chrono::milliseconds(0);
    TFileStamp written;
    try {
        WriteFileAtomically(page, "new", written, hurried);
        ADD_FAILURE() << "a locked page was written";
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()), SaveBusyError(page).what());
    }
    EXPECT_EQ(Slurp(page), "<p>old</p>\n");
    ::close(held);

    // Left by saves that were killed, by ones still running, and files that are none of them.
    // In the backup folder, partial copies of any page's saves are told by their lock.
    const std::string other = "0000000000000001-0000000000000002";
    fs::create_directories(Backups(Dir));
    const std::string dead = ".page.html.quillfen-a1B2c3", running = ".page.html.quillfen-d4E5f6";
    const std::string runningCopy = "." + other + "-other.html.quillfen-p4Q5r6";
    const std::set<std::string> kept{other + "-other.html", other + ".record", runningCopy,
                                     "." + other + "-other.html.quillfen-toolong"};
    for (const std::string& name : {dead, running, std::string(".page.html.quillfen-toolong"),
                                    std::string(".page.html.abcdef"), std::string("page.html~")})
        Put(Dir / name, "x");
    for (const std::string& name : {"." + Key(page) + "-page.html.quillfen-g7H8i9",
                                    "." + other + "-other.html.quillfen-m1N2o3"})
        Put(Backups(Dir) / name, "x");
    for (const std::string& name : kept) Put(Backups(Dir) / name, "x");
    const int alive = ::open((Dir / running).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(alive, LOCK_EX), 0);
    const int copying = ::open((Backups(Dir) / runningCopy).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(copying, LOCK_EX), 0);
    EXPECT_EQ(Save(page, "new"), 0);  // in place, since the page has two names
    ::close(alive);
    ::close(copying);
    EXPECT_EQ(Slurp(Dir / "twin.html"), "new");
    EXPECT_EQ(Names(Dir), (std::set<std::string>{"page.html", "twin.html", running,
                                                 ".page.html.quillfen-toolong", ".page.html.abcdef",
                                                 "page.html~"}));
    EXPECT_EQ(Leftovers(Dir), kept);
}

}  // namespace
}  // namespace quillfen
