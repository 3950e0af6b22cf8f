#include <acl/libacl.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/savefile.h"
#include "core/savefile_platform.h"

namespace fs = std::filesystem;

namespace quillfen {

using detail::HooksOf;

namespace {

// Pages are copied, compared and written in pieces of this size, so that none of that needs a
// second copy of the page in memory; the record of an in-place save hashes the new page by it.
constexpr std::size_t Piece = std::size_t{1} << 20;

// Every temporary file of a save carries this in its name, so that a later save can tell the
// ones its predecessors left from anything else.
constexpr std::string_view TempMark = ".quillfen-";
constexpr std::string_view TempSuffix = "XXXXXX";

class TFd {
  public:
    explicit TFd(int fd = -1) : Fd(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    void Reset(int fd) {
        Close();
        Fd = fd;
    }
    bool Close() {
        const int fd = std::exchange(Fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    int Fd;
};

// A read-only view of a whole file, for comparing and hashing without a copy in memory.
class TMapping {
  public:
    TMapping(int fd, std::size_t size) : size_(size) {
        if (size == 0) return;
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) data_ = static_cast<const char*>(p);
    }
    ~TMapping() {
        if (data_) ::munmap(const_cast<char*>(data_), size_);
    }
    TMapping(const TMapping&) = delete;
    TMapping& operator=(const TMapping&) = delete;
    bool Ok() const { return size_ == 0 || data_; }
    std::string_view View() const { return data_ ? std::string_view(data_, size_) : ""; }

  private:
    const char* data_ = nullptr;
    std::size_t size_;
};

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Short pieces are gathered, so that a page with many new texts takes few system calls.
class TGatherer {
  public:
    explicit TGatherer(std::function<bool(std::string_view)> write) : write_(std::move(write)) {}
    bool Add(std::string_view piece) {
        if (buffer_.size() + piece.size() <= Piece) {
            if (buffer_.empty()) buffer_.reserve(Piece);
            buffer_ += piece;
            return true;
        }
        return Flush() && (piece.size() >= Piece / 4 ? write_(piece) : Add(piece));
    }
    bool Flush() {
        const bool ok = buffer_.empty() || write_(buffer_);
        buffer_.clear();
        return ok;
    }

  private:
    std::function<bool(std::string_view)> write_;
    std::string buffer_;
};

bool WriteAll(int fd, const TPieces& bytes) {
    TGatherer out([fd](std::string_view part) { return WriteAll(fd, part); });
    return bytes.ForEach(0, std::string_view::npos, [&](std::string_view piece) {
        return out.Add(piece);
    }) && out.Flush();
}
bool WriteAllAt(int fd, std::string_view bytes, std::size_t at) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        at += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t DefaultFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

fs::path FolderOf(const fs::path& file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

void SyncFolder(const fs::path& folder) {
    // Only makes the new name durable; a file system that cannot sync folders has no other way.
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Fd >= 0) ::fsync(dir.Fd);
}

std::size_t NameLimit(const fs::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? std::min<std::size_t>(static_cast<std::size_t>(limit), NAME_MAX) : NAME_MAX;
}

// Cuts a file name to at most `limit` bytes without splitting a UTF-8 sequence.
std::string Shorten(std::string name, std::size_t limit) {
    if (name.size() <= limit) return name;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

// The start of the temporary names for `name` in folder: hidden, and within the folder's name
// limit however long the name is.
std::string TempPrefix(const fs::path& folder, const std::string& name) {
    const std::size_t room = NameLimit(folder) - 1 - TempMark.size() - TempSuffix.size();
    std::string prefix(1, '.');
    prefix.append(Shorten(name, room)).append(TempMark);
    return prefix;
}

// A temporary file for `name` in folder, locked while its save runs and removed on every way out
// but Keep. Fd is negative, with errno set, when it cannot be created.
class TTempFile {
  public:
    TTempFile(const fs::path& folder, const std::string& name) {
        std::string path = (folder / (TempPrefix(folder, name) + std::string(TempSuffix))).string();
        file_.Reset(::mkostemp(path.data(), O_CLOEXEC));
        if (file_.Fd < 0) return;
        Name = std::move(path);
        // Nobody else has it yet; the lock tells a later save that its owner is still at work.
        ::flock(file_.Fd, LOCK_EX | LOCK_NB);
    }
    ~TTempFile() {
        if (!Name.empty()) ::unlink(Name.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    int Fd() const { return file_.Fd; }
    bool Close() { return file_.Close(); }
    void Keep() { Name.clear(); }
    std::string Name;

  private:
    TFd file_;
};

// Removes the temporary files for `name` in folder that saves killed on their way left: those of
// a running save are locked. Nothing else is touched.
void RemoveStaleTemps(const fs::path& folder, const std::string& name) {
    const std::string prefix = TempPrefix(folder, name);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view found = entry->d_name;
        if (found.size() != prefix.size() + TempSuffix.size() || !found.starts_with(prefix))
            continue;
        const TFd file(::openat(dirFd, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {
        }, named{};
        if (file.Fd < 0 || ::fstat(file.Fd, &opened) != 0 || !S_ISREG(opened.st_mode) ||
            ::flock(file.Fd, LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was locked, not one that took its name meanwhile.
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

fs::path BackupFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    // A relative XDG_CACHE_HOME is invalid and to be ignored.
    if (cache && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::geteuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home || !*home) return {};
        base = fs::path(home) / ".cache";
    }
    return base / "Quillfen" / "backup";
}

bool MakePrivateFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder.parent_path().parent_path(), ec);
    for (const fs::path& dir : {folder.parent_path(), folder})
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return true;
}

std::string Hex(std::uint64_t value) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(value));
    return hex;
}

// The record of an in-place save names the file by device and inode, so that it is found
// whichever name or link the page is read through next.
std::string RecordKey(const struct stat& page) {
    return Hex(static_cast<std::uint64_t>(page.st_dev)) + "-" +
           Hex(static_cast<std::uint64_t>(page.st_ino));
}

// What an in-place save records before it overwrites the page's first byte.
struct TRecord {
    std::string Backup;  // the copy's name in the backup folder
    std::uint64_t OldSize = 0;
    std::uint64_t NewSize = 0;
    std::uint64_t NewHash = 0;
    std::vector<std::uint64_t> Pieces;  // the new page's hash by Piece
    std::string Page;                   // the page's path as the save was given it
};

constexpr std::string_view RecordHead = "quillfen in-place save 1\n";

std::string RecordText(const TRecord& r) {
    std::string text(RecordHead);
    text.append("backup ").append(r.Backup);
    text.append("\nold-size ").append(std::to_string(r.OldSize));
    text.append("\nnew-size ").append(std::to_string(r.NewSize));
    text.append("\nnew-hash ").append(Hex(r.NewHash));
    text.append("\npieces");
    for (std::uint64_t h : r.Pieces) text.append(" ").append(Hex(h));
    // Last, since a path may hold any byte but zero.
    text.append("\npath ").append(r.Page);
    return text;
}

std::optional<TRecord> ParseRecord(std::string_view text) {
    if (!text.starts_with(RecordHead)) return std::nullopt;
    text.remove_prefix(RecordHead.size());
    TRecord r;
    auto field = [&](std::string_view name) -> std::optional<std::string_view> {
        if (!text.starts_with(name) || text.substr(name.size(), 1) != " ") return std::nullopt;
        text.remove_prefix(name.size() + 1);
        if (name == "path") return std::exchange(text, {});
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view value = text.substr(0, end);
        text.remove_prefix(end + 1);
        return value;
    };
    auto number = [](std::string_view s, int base, std::uint64_t& out) {
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
        return ec == std::errc() && end == s.data() + s.size();
    };
    const auto backup = field("backup"), oldSize = field("old-size"), newSize = field("new-size"),
               newHash = field("new-hash");
    if (!backup || !oldSize || !newSize || !newHash || backup->empty() ||
        backup->find('/') != std::string_view::npos || !number(*oldSize, 10, r.OldSize) ||
        !number(*newSize, 10, r.NewSize) || !number(*newHash, 16, r.NewHash))
        return std::nullopt;
    r.Backup = *backup;
    // "pieces" with an empty list has no blank behind it.
    if (text.starts_with("pieces\n")) {
        text.remove_prefix(7);
    } else {
        const auto pieces = field("pieces");
        if (!pieces) return std::nullopt;
        for (std::string_view rest = *pieces; !rest.empty();) {
            const std::size_t blank = rest.find(' ');
            std::uint64_t h = 0;
            if (!number(rest.substr(0, blank), 16, h)) return std::nullopt;
            r.Pieces.push_back(h);
            rest = blank == std::string_view::npos ? "" : rest.substr(blank + 1);
        }
    }
    const auto page = field("path");
    if (!page || r.Pieces.size() != (r.NewSize + Piece - 1) / Piece) return std::nullopt;
    r.Page = *page;
    return r;
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
    const TFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > (std::int64_t{1} << 24))
        return std::nullopt;
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    if (::pread(file.Fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        return std::nullopt;
    return text;
}

// Writes bytes, or the rest of `from`, as the file `name` in folder: through a locked temporary
// file, synced, so that a complete file appears under the name or none does. False with errno.
bool WriteCompleteFile(const fs::path& folder, const std::string& name, std::string_view bytes,
                       int from = -1) {
    RemoveStaleTemps(folder, name);
    TTempFile temp(folder, name);
    if (temp.Fd() < 0) return false;
    if (from >= 0) {
        std::vector<char> buffer(Piece);
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) break;
            if (!WriteAll(temp.Fd(), std::string_view(buffer.data(), static_cast<std::size_t>(n))))
                return false;
            at += n;
        }
    } else if (!WriteAll(temp.Fd(), bytes)) {
        return false;
    }
    if (::fsync(temp.Fd()) != 0 || ::rename(temp.Name.c_str(), (folder / name).c_str()) != 0)
        return false;
    temp.Keep();
    return true;
}

enum class TTornState { Finished, Untouched, Torn, Foreign };

// What became of a page whose in-place save left `record`, comparing it piece by piece with the
// copy of its old bytes and the hashes of the new ones. A save writes the new bytes from the
// start and cuts the page to the new size last: a torn page is the new bytes up to some point
// and the old ones from there, as long as the old page or as far as the new bytes reached.
TTornState Classify(int page, int backup, const TRecord& record) {
    struct stat pageStat {
    }, backupStat{};
    if (::fstat(page, &pageStat) != 0 || ::fstat(backup, &backupStat) != 0)
        return TTornState::Foreign;
    const auto size = static_cast<std::uint64_t>(pageStat.st_size);
    const TMapping now(page, size);
    const TMapping old(backup, static_cast<std::size_t>(backupStat.st_size));
    if (!now.Ok() || !old.Ok() || static_cast<std::uint64_t>(backupStat.st_size) != record.OldSize)
        return TTornState::Foreign;
    const std::string_view pageBytes = now.View(), oldBytes = old.View();
    if (size == record.NewSize && HashBytes(pageBytes) == record.NewHash)
        return TTornState::Finished;
    if (pageBytes == oldBytes) return TTornState::Untouched;
    if (size < record.OldSize || size > std::max(record.OldSize, record.NewSize))
        return TTornState::Foreign;
    // The whole pieces that are new already; the piece after them may be partly written.
    std::size_t k = 0;
    while (k < record.Pieces.size() && (k + 1) * Piece <= size) {
        const std::size_t length = std::min<std::uint64_t>(Piece, record.NewSize - k * Piece);
        if (length != Piece && k * Piece + length != size) break;
        if (HashBytes(pageBytes.substr(k * Piece, length)) != record.Pieces[k]) break;
        ++k;
    }
    // Past the piece being written, the old bytes; a page longer than the old one has the new
    // bytes there, which would have made those pieces new.
    const std::size_t rest = std::min<std::uint64_t>((k + 1) * Piece, size);
    if (size > record.OldSize && rest < size) return TTornState::Foreign;
    if (pageBytes.substr(rest) != oldBytes.substr(std::min(rest, oldBytes.size())))
        return TTornState::Foreign;
    return TTornState::Torn;
}

void RemoveRecord(const fs::path& folder, const std::string& key, const std::string& backup) {
    ::unlink((folder / (key + ".record")).c_str());
    if (!backup.empty()) ::unlink((folder / backup).c_str());
    SyncFolder(folder);
}

// Takes `operation` (LOCK_EX or LOCK_SH) on fd, waiting up to `wait` for another save to finish.
// False when the wait was in vain; a file system without locks counts as locked.
bool Lock(int fd, int operation, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // The system offers no wait with a limit on flock; a save takes milliseconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Opens the page at target and locks it against other saves; after the lock, the page must
// still be the file at target, or another save replaced it meanwhile and its successor is locked
// instead. False, with no lock, when there is no file at target.
bool LockPage(const std::string& path, const fs::path& target, int operation,
              std::chrono::milliseconds wait, TFd& file, struct stat& st) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Only for reading: a file opened for writing tells watchers it was written when closed.
        file.Reset(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.Fd < 0) {
            if (errno == ENOENT) return false;
            throw CannotCreateError(path, errno);
        }
        if (::fstat(file.Fd, &st) != 0) throw CannotCreateError(path, errno);
        if (!S_ISREG(st.st_mode)) throw CannotCreateError(path, EISDIR);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!Lock(file.Fd, operation, std::max(left, std::chrono::milliseconds(0))))
            throw SaveBusyError(path);
        struct stat named {};
        if (::fstat(file.Fd, &st) != 0) throw CannotCreateError(path, errno);
        if (::stat(target.c_str(), &named) != 0) {
            if (errno == ENOENT) continue;
            throw CannotCreateError(path, errno);
        }
        if (named.st_dev == st.st_dev && named.st_ino == st.st_ino) return true;
    }
}

// The locked page opened again for writing, or -1 with errno set; the same file or none.
int OpenLockedForWriting(const fs::path& target, const struct stat& locked) {
    const int fd = ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 &&
        (::fstat(fd, &st) != 0 || st.st_dev != locked.st_dev || st.st_ino != locked.st_ino)) {
        ::close(fd);
        errno = EAGAIN;
        return -1;
    }
    return fd;
}

// Under the page's lock: deals with the record an in-place save of this page left. The finished
// page or the untouched one lets it go; a torn page raises, since reading or saving it would
// make the damage final.
void SettleRecord(int page, const std::string& path, const struct stat& st) {
    const fs::path folder = BackupFolder();
    if (folder.empty()) return;
    const std::string key = RecordKey(st);
    const std::optional<std::string> text = ReadSmallFile(folder / (key + ".record"));
    if (!text) return;
    const std::optional<TRecord> record = ParseRecord(*text);
    // A record that cannot be read tells nothing; its copy cannot be found either.
    if (!record) {
        RemoveRecord(folder, key, {});
        return;
    }
    const fs::path backup = folder / record->Backup;
    const TFd copy(::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (copy.Fd < 0) {
        if (errno == ENOENT) RemoveRecord(folder, key, {});
        return;
    }
    switch (Classify(page, copy.Fd, *record)) {
        case TTornState::Finished:
        case TTornState::Untouched:
            RemoveRecord(folder, key, record->Backup);
            return;
        case TTornState::Torn:
            throw TInterruptedSaveError(path, backup.string(), false);
        case TTornState::Foreign:
            throw TInterruptedSaveError(path, backup.string(), true);
    }
}

// Only when asked for, since the hash costs time on every save.
void StampWritten(int fd, const TPieces& bytes, TFileStamp* stamp) {
    if (!stamp) return;
    detail::StampFromFd(fd, *stamp);
    stamp->Size = bytes.Size();
    stamp->Hash = bytes.Hash();
}

// Whether the locked page holds other bytes than `read` describes, or is no longer the file at
// target.
bool ChangedSince(int fd, const fs::path& target, const TFileStamp& read) {
    struct stat st {
    }, named{};
    if (::fstat(fd, &st) != 0 || ::stat(target.c_str(), &named) != 0 || named.st_dev != st.st_dev ||
        named.st_ino != st.st_ino)
        return true;
    TFileStamp now;
    if (!detail::StampFromFd(fd, now)) return true;
    now.Hash = read.Hash;
    if (now == read) return false;
    if (now.Size != read.Size) return true;
    const TMapping bytes(fd, static_cast<std::size_t>(now.Size));
    return !bytes.Ok() || HashBytes(bytes.View()) != read.Hash;
}

// The name a path leads to with its symbolic links followed, itself included; unlike a
// canonical path it also exists for a link whose target is still to be created.
fs::path ResolveTarget(const std::string& path) {
    fs::path target(path);
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        // Saving through a link must change the file it points to, not replace the link.
        if (hops == 40) throw CannotCreateError(path, ELOOP);
        std::error_code ec;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) throw CannotCreateError(path, ec.value());
        target = next.is_absolute() ? next : FolderOf(target) / next;
    }
}

fs::path FullName(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path, ec).lexically_normal() : full;
}

// Whether target names the file the page was read from, however either is spelled.
bool IsReadName(const fs::path& target, const TSaveOptions& options) {
    return options.Read && !options.ReadFrom.empty() &&
           FullName(target) == FullName(ResolveTarget(options.ReadFrom));
}

// Gives the temporary file everything of the old one that a rename would otherwise lose; false
// where some of it cannot be given.
bool CarryOver(const fs::path& target, const struct stat& old, const std::string& tempName,
               int temp) {
    struct stat now {};
    if (::fstat(temp, &now) != 0) return false;
    // Owner and group first: changing them clears setuid and setgid, which the mode then restores.
    // This also undoes the group a setgid folder gave the new file.
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(temp, old.st_uid, old.st_gid) != 0)
        return false;
    if (::fchmod(temp, old.st_mode & 07777) != 0) return false;
    const TFd source(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (source.Fd < 0) return false;
    // Copied even where the old file has no extended ACL, since the folder's default ACL may have
    // given the temporary file one.
    if (::perm_copy_fd(target.c_str(), source.Fd, tempName.c_str(), temp, nullptr) != 0)
        return false;
    if (::attr_copy_fd(target.c_str(), source.Fd, tempName.c_str(), temp, nullptr, nullptr) != 0)
        return false;
    // The system drops a setgid bit for a group the user is not in without an error.
    if (::fstat(temp, &now) != 0) return false;
    return now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
           (now.st_mode & 07777) == (old.st_mode & 07777);
}

enum class TOutcome { Written, NeedsInPlace, Retry };

// Runs right before the new bytes take the page's place; raises to refuse them.
using TFinalCheck = std::function<void()>;

TOutcome ReplaceByRename(const std::string& path, const fs::path& target, const struct stat* old,
                         const TPieces& bytes, TFileStamp* stamp, const TFinalCheck& finalCheck) {
    const fs::path folder = FolderOf(target);
    TTempFile temp(folder, target.filename().string());
    if (temp.Fd() < 0) {
        if (old && (errno == EACCES || errno == EPERM)) return TOutcome::NeedsInPlace;
        throw CannotCreateError(path, errno);
    }
    const int fd = temp.Fd();
    if (!WriteAll(fd, bytes)) throw CannotCreateError(path, errno);
    if (old) {
        if (!CarryOver(target, *old, temp.Name, fd)) return TOutcome::NeedsInPlace;
    } else if (::fchmod(fd, DefaultFileMode()) != 0) {
        throw CannotCreateError(path, errno);
    }
    if (::fsync(fd) != 0) throw CannotCreateError(path, errno);
    finalCheck();
    if (!old) {
        // A page that another save created meanwhile is locked and checked like any other.
        if (::renameat2(AT_FDCWD, temp.Name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0) {
            temp.Keep();
        } else if (errno == EEXIST) {
            return TOutcome::Retry;
        } else if (errno != EINVAL && errno != ENOSYS) {
            throw CannotCreateError(path, errno);
        }
    }
    if (!temp.Name.empty() && ::rename(temp.Name.c_str(), target.c_str()) != 0) {
        // A sticky folder lets only the file's owner replace it.
        if (old && (errno == EPERM || errno == EACCES)) return TOutcome::NeedsInPlace;
        throw CannotCreateError(path, errno);
    }
    temp.Keep();
    // After the rename, since renaming changes the file's change time.
    StampWritten(fd, bytes, stamp);
    SyncFolder(folder);
    return TOutcome::Written;
}

// Writes bytes from the start of the page; `written` counts what reached it, so that a failure
// knows how much of the old contents to put back.
bool WriteFromStart(int fd, const TPieces& bytes, std::size_t& written, const TSaveHooks& hooks) {
    written = 0;
    while (written < bytes.Size()) {
        std::size_t piece = std::min(Piece, bytes.Size() - written);
        if (hooks.InPlaceFailAfter) {
            if (written >= *hooks.InPlaceFailAfter) {
                if (hooks.AtInPlaceFault) hooks.AtInPlaceFault();
                errno = ENOSPC;
                return false;
            }
            piece = std::min(piece, *hooks.InPlaceFailAfter - written);
        }
        // Counted as it reaches the page, so that a failure puts back all it overwrote.
        TGatherer out([&](std::string_view part) {
            while (!part.empty()) {
                const ssize_t n =
                    ::pwrite(fd, part.data(), part.size(), static_cast<off_t>(written));
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return false;
                }
                written += static_cast<std::size_t>(n);
                part.remove_prefix(static_cast<std::size_t>(n));
            }
            return true;
        });
        const bool ok = bytes.ForEach(written, piece, [&](std::string_view part) {
            return out.Add(part);
        }) && out.Flush();
        if (!ok) return false;
    }
    return true;
}

void WriteInPlace(const std::string& path, const fs::path& target, const struct stat& before,
                  const TPieces& bytes, TFileStamp* stamp, const TSaveHooks& hooks,
                  const TFinalCheck& finalCheck) {
    if (static_cast<std::uint64_t>(before.st_size) > MaxFileBytes)
        throw CannotCreateError(path, EFBIG);
    const TFd file(OpenLockedForWriting(target, before));
    if (file.Fd < 0) throw CannotCreateError(path, errno);
    const int page = file.Fd;

    // The copy of the old bytes and the record are complete and synced before the page's first
    // byte changes, so that a save killed at any moment can be told and undone.
    const fs::path folder = BackupFolder();
    if (folder.empty()) throw CannotCreateError(path, ENOENT);
    if (!MakePrivateFolders(folder)) throw CannotCreateError(path, errno);
    const std::string key = RecordKey(before);
    TRecord record;
    record.Backup = Shorten(key + "-" + fs::path(path).filename().string(), NAME_MAX - 24);
    record.OldSize = static_cast<std::uint64_t>(before.st_size);
    record.NewSize = bytes.Size();
    record.NewHash = bytes.Hash();
    for (std::size_t at = 0; at < bytes.Size(); at += Piece)
        record.Pieces.push_back(bytes.Hash(at, Piece));
    record.Page = FullName(path).string();
    bool recorded = false;
    struct TForget {
        std::function<void()> Run;
        ~TForget() { Run(); }
    } forget{[&] {
        if (recorded) RemoveRecord(folder, key, record.Backup);
    }};
    if (!WriteCompleteFile(folder, record.Backup, {}, page)) throw CannotCreateError(path, errno);
    recorded = true;
    if (!WriteCompleteFile(folder, key + ".record", RecordText(record)))
        throw CannotCreateError(path, errno);
    SyncFolder(folder);
    finalCheck();

    const TFd copy(::open((folder / record.Backup).c_str(), O_RDONLY | O_CLOEXEC));
    const TMapping old(copy.Fd, static_cast<std::size_t>(before.st_size));
    if (copy.Fd < 0 || !old.Ok()) throw CannotCreateError(path, errno ? errno : EIO);

    // Puts back what the new bytes overwrote, the old size and the old times, so that a failed
    // save leaves the page as it was; only then the copy and the record go. Only the overwritten
    // part is written, so that a limit the new bytes ran into does not stop the old ones.
    const auto fail = [&](std::size_t overwritten, int cause) {
        const std::string_view changed = old.View().substr(0, overwritten);
        struct stat now {};
        if (!(hooks.InPlaceFailAfter && hooks.RestoreFails) && WriteAllAt(page, changed, 0) &&
            ::fstat(page, &now) == 0 &&
            (now.st_size == before.st_size ||
             ::ftruncate(page, static_cast<off_t>(before.st_size)) == 0) &&
            ::fsync(page) == 0) {
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ::futimens(page, times);
        } else {
            // The page is torn: the record stays and tells the next reader.
            recorded = false;
        }
        return CannotCreateError(path, cause);
    };
    if (bytes.Size() > record.OldSize) {
        // Reserving the space first lets a full disk fail before a byte of the page is replaced;
        // the page keeps its size, so that until the first byte it is the old page exactly.
        if (::fallocate(page, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.Size())) != 0 &&
            errno != EOPNOTSUPP && errno != ENOSYS)
            throw fail(0, errno);
    }
    std::size_t written = 0;
    if (!WriteFromStart(page, bytes, written, hooks) ||
        ::ftruncate(page, static_cast<off_t>(bytes.Size())) != 0 || ::fsync(page) != 0) {
        const int cause = errno;
        throw fail(written, cause);
    }
    // Writing clears setuid and setgid for a user without the capability to keep them.
    struct stat after {};
    if (::fstat(page, &after) == 0 && (after.st_mode & 07777) != (before.st_mode & 07777))
        ::fchmod(page, before.st_mode & 07777);
    StampWritten(page, bytes, stamp);
}

void Write(const std::string& path, const TPieces& bytes, TFileStamp* written,
           const TSaveOptions& options) {
    const TSaveHooks& hooks = HooksOf(options);
    if (path.empty()) throw CannotCreateError(path, ENOENT);
    const fs::path target = ResolveTarget(path);
    for (;;) {
        TFd lock;
        struct stat old {};
        if (!LockPage(path, target, LOCK_EX, options.LockWait, lock, old)) {
            // The page that was read is gone: another program deleted or moved it.
            if (IsReadName(target, options)) throw ChangedWhileReadError();
            const auto check = [&] {
                if (hooks.BeforeFinalCheck) hooks.BeforeFinalCheck();
            };
            if (ReplaceByRename(path, target, nullptr, bytes, written, check) == TOutcome::Retry)
                continue;
            return;
        }
        // The system knows who may write the page (owner, group, ACL, a read-only mount); it lets
        // root write anything, so a page without any write bit is refused here for root as well.
        if ((old.st_mode & 0222) == 0) throw CannotCreateError(path, EACCES);
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            throw CannotCreateError(path, errno);
        SettleRecord(lock.Fd, path, old);
        const bool guarded =
            options.Read && ((old.st_dev == static_cast<dev_t>(options.Read->Device) &&
                              old.st_ino == static_cast<ino_t>(options.Read->Inode)) ||
                             IsReadName(target, options));
        if (guarded && ChangedSince(lock.Fd, target, *options.Read)) throw ChangedWhileReadError();
        const std::string name = target.filename().string();
        RemoveStaleTemps(FolderOf(target), name);
        const auto check = [&] {
            if (hooks.BeforeFinalCheck) hooks.BeforeFinalCheck();
            if (guarded && ChangedSince(lock.Fd, target, *options.Read))
                throw ChangedWhileReadError();
        };
        const bool renameKeepsAll =
            old.st_nlink == 1 &&
            ::faccessat(AT_FDCWD, FolderOf(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
        if (renameKeepsAll &&
            ReplaceByRename(path, target, &old, bytes, written, check) == TOutcome::Written)
            return;
        WriteInPlace(path, target, old, bytes, written, hooks, check);
        return;
    }
}

}  // namespace

void detail::WritePage(const std::string& path, const TPieces& bytes, TFileStamp* written,
                       const TSaveOptions& options) {
    Write(path, bytes, written, options);
}

void detail::WritePage(const std::string& path, std::string_view bytes, TFileStamp* written,
                       const TSaveOptions& options) {
    Write(path, TPieces(bytes), written, options);
}

void CheckInterruptedSave(const std::string& path) {
    struct stat st {};
    const fs::path folder = BackupFolder();
    if (path.empty() || folder.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    if (::access((folder / (RecordKey(st) + ".record")).c_str(), F_OK) != 0) return;
    // A save that is still running holds the page; its record is no sign of trouble.
    TFd page;
    if (!LockPage(path, ResolveTarget(path), LOCK_SH, std::chrono::seconds(10), page, st)) return;
    SettleRecord(page.Fd, path, st);
}

void RecoverInterruptedSave(const std::string& path) {
    const fs::path folder = BackupFolder();
    TFd page;
    struct stat st {};
    if (path.empty() || folder.empty() ||
        !LockPage(path, ResolveTarget(path), LOCK_EX, std::chrono::seconds(10), page, st))
        throw NothingToRecoverError(path);
    const std::string key = RecordKey(st);
    const std::optional<std::string> text = ReadSmallFile(folder / (key + ".record"));
    const std::optional<TRecord> record = text ? ParseRecord(*text) : std::nullopt;
    if (!record) throw NothingToRecoverError(path);
    const TFd copy(::open((folder / record->Backup).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (copy.Fd < 0) throw CannotOpenError((folder / record->Backup).string(), errno);
    const TTornState state = Classify(page.Fd, copy.Fd, *record);
    if (state == TTornState::Torn || state == TTornState::Foreign) {
        // In place, so that the page stays the file its links and other names share.
        const TMapping old(copy.Fd, static_cast<std::size_t>(record->OldSize));
        const TFd file(OpenLockedForWriting(ResolveTarget(path), st));
        if (file.Fd < 0) throw CannotCreateError(path, errno);
        if (!old.Ok() || !WriteAllAt(file.Fd, old.View(), 0) ||
            ::ftruncate(file.Fd, static_cast<off_t>(record->OldSize)) != 0 || ::fsync(file.Fd) != 0)
            throw CannotCreateError(path, errno);
    }
    RemoveRecord(folder, key, record->Backup);
}

std::optional<std::string> FindCrashBackup(const std::string& pagePath) {
    struct stat st {};
    const fs::path folder = BackupFolder();
    if (pagePath.empty() || folder.empty() || ::stat(pagePath.c_str(), &st) != 0)
        return std::nullopt;
    const std::optional<std::string> text = ReadSmallFile(folder / (RecordKey(st) + ".record"));
    const std::optional<TRecord> record = text ? ParseRecord(*text) : std::nullopt;
    if (!record) return std::nullopt;
    const fs::path backup = folder / record->Backup;
    struct stat copy {};
    if (::lstat(backup.c_str(), &copy) != 0 || !S_ISREG(copy.st_mode)) return std::nullopt;
    return backup.string();
}

}  // namespace quillfen
