#include "core/savefile.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <vector>

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

// Runs fn in a child process, so that a changed user or a file size limit stays there; gives its
// exit code.
int InChild(const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = fn();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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

TEST_F(SaveFile, ReadingRefusesWhatIsNoRegularFileAtOnceAndHugeFilesUnread) {
    const fs::path fifo = Dir / "fifo", socket = Dir / "sock", big = Page("big.html", "");
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
    } cases[] = {{fifo, notRegular + "FIFO)"},
                 {Dir / "to-fifo", notRegular + "FIFO)"},
                 {Dir / "folder", notRegular + "Ordner)"},
                 {socket, notRegular + "Socket)"},
                 {"/dev/null", notRegular + "Zeichenger\xC3\xA4t)"},
                 {big,
                  " (gr\xC3\xB6\xC3\x9F"
                  "er als 1 GiB)"}};
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
                    if (e.what() != want) return 3;
                }
            }
            return 0;
        });
        EXPECT_EQ(code, 0) << c.Path;
    }
    ::close(s);
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
             ::usleep(20000);  // so that a coarse clock gives a new change time as well
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

}  // namespace
}  // namespace quillfen
