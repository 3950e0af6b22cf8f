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
#include "core/files/savefile.h"
#include "core/files/savefile_platform.h"

namespace fs = std::filesystem;

namespace quillfen {

using detail::HooksOf;

namespace {

// Pages are copied, compared and written in pieces of this size, so that none of that needs a
// second copy of the page in memory.
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

// Whether the file at fd is still the one named path.
bool StillNamed(int fd, const std::string& path) {
    struct stat opened {
    }, named{};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// A temporary file for `name` in folder, locked while its save runs and removed on every way out
// but Keep. Fd is negative, with errno set, when it cannot be created.
class TTempFile {
  public:
    TTempFile(const fs::path& folder, const std::string& name) {
        const std::string pattern =
            (folder / (TempPrefix(folder, name) + std::string(TempSuffix))).string();
        // Another save that removes dead saves' files may find this one before it is locked: it
        // then holds the lock or has removed the name, and another name is taken.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = pattern;
            file_.Reset(::mkostemp(path.data(), O_CLOEXEC));
            if (file_.Fd < 0) return;
            // A file system without locks has no dead saves told apart either.
            if (::flock(file_.Fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
            if (StillNamed(file_.Fd, path)) {
                Name = std::move(path);
                return;
            }
        }
        file_.Reset(-1);
        errno = EEXIST;
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

// Removes the temporary files in folder whose names `ours` knows and whose saves were killed on
// their way: those of a running save are locked. Nothing else is touched.
void RemoveStaleTemps(const fs::path& folder, const std::function<bool(std::string_view)>& ours) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!ours(entry->d_name)) continue;
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

// The temporary files for `name` in folder, beside a page.
void RemoveStaleTemps(const fs::path& folder, const std::string& name) {
    const std::string prefix = TempPrefix(folder, name);
    RemoveStaleTemps(folder, [&](std::string_view found) {
        return found.size() == prefix.size() + TempSuffix.size() && found.starts_with(prefix);
    });
}

// Whether a name in the backup folder is a temporary one, of any page's save: copies and records
// get their names only once they are complete.
bool IsTempName(std::string_view name) {
    const std::size_t tail = TempMark.size() + TempSuffix.size();
    return name.size() > 1 + tail && name.front() == '.' &&
           name.substr(name.size() - tail, TempMark.size()) == TempMark;
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

// The record of an in-place save is named by the page's device and inode, so that it is found
// whichever name or link the page is read through next.
std::string RecordKey(const struct stat& page) {
    return Hex(static_cast<std::uint64_t>(page.st_dev)) + "-" +
           Hex(static_cast<std::uint64_t>(page.st_ino));
}

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// When the file was made, which tells it from a later file that took its inode; 0 where the
// file system does not tell.
std::int64_t BornNs(int fd) {
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &st) != 0 || !(st.stx_mask & STATX_BTIME))
        return 0;
    return static_cast<std::int64_t>(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec;
}

// The new page is hashed by blocks this small, so that a torn page is told from one another
// program wrote since by all but the block the save was writing when it stopped.
constexpr std::size_t Block = 4096;

// What an in-place save records before it overwrites the page's first byte.
struct TRecord {
    int Version = 2;
    std::string Backup;  // the copy's name in the backup folder
    std::int64_t Born = 0;
    std::uint64_t OldSize = 0;
    std::uint64_t OldHash = 0;       // of the copy
    std::int64_t OldModifiedNs = 0;  // the page's times as the save found them
    std::int64_t OldChangedNs = 0;
    std::uint64_t NewSize = 0;
    std::uint64_t NewHash = 0;
    std::uint64_t PieceSize = Block;
    std::vector<std::uint64_t> Pieces;  // the new page's hashes by PieceSize
    std::string Page;                   // the page's full path
};

// Version 1 had neither the birth time nor the old page's hash and times, and hashed the new
// page by the MiB: too little to prove a page torn, so that its records only let a page go that
// is the old or the new one.
constexpr std::string_view RecordHead1 = "quillfen in-place save 1\n";
constexpr std::string_view RecordHead = "quillfen in-place save 2\n";

std::string RecordText(const TRecord& r) {
    std::string text(RecordHead);
    text.append("backup ").append(r.Backup);
    text.append("\nborn ").append(std::to_string(r.Born));
    text.append("\nold-size ").append(std::to_string(r.OldSize));
    text.append("\nold-hash ").append(Hex(r.OldHash));
    text.append("\nold-modified ").append(std::to_string(r.OldModifiedNs));
    text.append("\nold-changed ").append(std::to_string(r.OldChangedNs));
    text.append("\nnew-size ").append(std::to_string(r.NewSize));
    text.append("\nnew-hash ").append(Hex(r.NewHash));
    text.append("\npiece-size ").append(std::to_string(r.PieceSize));
    text.append("\npieces");
    for (std::uint64_t h : r.Pieces) text.append(" ").append(Hex(h));
    // Last, since a path may hold any byte but zero.
    text.append("\npath ").append(r.Page);
    return text;
}

std::optional<TRecord> ParseRecord(std::string_view text) {
    TRecord r;
    if (text.starts_with(RecordHead1)) {
        r.Version = 1;
        r.PieceSize = std::size_t{1} << 20;
        text.remove_prefix(RecordHead1.size());
    } else if (text.starts_with(RecordHead)) {
        text.remove_prefix(RecordHead.size());
    } else {
        return std::nullopt;
    }
    // Each field on a line of its own, in the order written; "path" takes the rest.
    bool ok = true;
    auto field = [&](std::string_view name) -> std::string_view {
        if (!ok || !text.starts_with(name) || text.substr(name.size(), 1) != " ") {
            ok = false;
            return {};
        }
        text.remove_prefix(name.size() + 1);
        if (name == "path") return std::exchange(text, {});
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            ok = false;
            return {};
        }
        const std::string_view value = text.substr(0, end);
        text.remove_prefix(end + 1);
        return value;
    };
    auto number = [&](std::string_view name, auto& out, int base = 10) {
        const std::string_view s = field(name);
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
        ok = ok && ec == std::errc() && end == s.data() + s.size();
    };
    r.Backup = field("backup");
    ok = ok && !r.Backup.empty() && r.Backup.find('/') == std::string::npos;
    if (r.Version >= 2) number("born", r.Born);
    number("old-size", r.OldSize);
    if (r.Version >= 2) {
        number("old-hash", r.OldHash, 16);
        number("old-modified", r.OldModifiedNs);
        number("old-changed", r.OldChangedNs);
    }
    number("new-size", r.NewSize);
    number("new-hash", r.NewHash, 16);
    if (r.Version >= 2) number("piece-size", r.PieceSize);
    if (!ok || r.PieceSize == 0 || r.PieceSize > MaxFileBytes) return std::nullopt;
    // "pieces" with an empty list has no blank behind it.
    if (text.starts_with("pieces\n")) {
        text.remove_prefix(7);
    } else {
        for (std::string_view rest = field("pieces"); ok && !rest.empty();) {
            const std::size_t blank = rest.find(' ');
            std::uint64_t h = 0;
            const std::string_view hex = rest.substr(0, blank);
            const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), h, 16);
            ok = ec == std::errc() && end == hex.data() + hex.size();
            r.Pieces.push_back(h);
            rest = blank == std::string_view::npos ? "" : rest.substr(blank + 1);
        }
    }
    r.Page = field("path");
    if (!ok || r.Pieces.size() != (r.NewSize + r.PieceSize - 1) / r.PieceSize) return std::nullopt;
    return r;
}

// The hashes of bytes by `block`, and of all of them, in one pass over the pieces.
std::vector<std::uint64_t> BlockHashes(const TPieces& bytes, std::size_t block,
                                       std::uint64_t& whole) {
    std::vector<std::uint64_t> hashes;
    hashes.reserve((bytes.Size() + block - 1) / block);
    THasher all, part;
    std::size_t filled = 0;
    bytes.ForEach(0, bytes.Size(), [&](std::string_view piece) {
        all.Add(piece);
        while (!piece.empty()) {
            const std::size_t take = std::min(block - filled, piece.size());
            part.Add(piece.substr(0, take));
            piece.remove_prefix(take);
            filled += take;
            if (filled == block) {
                hashes.push_back(part.Finish());
                part = THasher();
                filled = 0;
            }
        }
        return true;
    });
    if (filled > 0) hashes.push_back(part.Finish());
    whole = all.Finish();
    return hashes;
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
// file, synced, so that a complete file appears under the name or none does. What is copied from
// `from` goes through `copied` as well, and whileCopying runs after its first piece. False with
// errno.
bool WriteCompleteFile(const fs::path& folder, const std::string& name, std::string_view bytes,
                       int from = -1, THasher* copied = nullptr,
                       const std::function<void()>& whileCopying = {}) {
    TTempFile temp(folder, name);
    if (temp.Fd() < 0) return false;
    if (from >= 0) {
        std::vector<char> buffer(Piece);
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) break;
            const std::string_view part(buffer.data(), static_cast<std::size_t>(n));
            if (!WriteAll(temp.Fd(), part)) return false;
            if (copied) copied->Add(part);
            if (at == 0 && whileCopying) whileCopying();
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

enum class TVerdict { Finished, Untouched, Torn, WrittenSince, Unproven };

// Whether the page is the new bytes up to some point and the old ones behind it, as a save that
// writes the new bytes from the start and cuts the page to the new size last leaves it: as long
// as the old page, or, past its end, as far as the new bytes reached. The blocks before the one
// being written must be new, and every byte after it old.
bool IsTornMix(std::string_view page, std::string_view old, const TRecord& r) {
    const std::uint64_t size = page.size(), block = r.PieceSize;
    std::uint64_t k = 0;
    for (; k < r.Pieces.size(); ++k) {
        const std::uint64_t from = k * block, length = std::min(block, r.NewSize - from);
        if (from + length > size || HashBytes(page.substr(from, length)) != r.Pieces[k]) break;
    }
    const std::uint64_t written = std::min((k + 1) * block, r.NewSize);
    if (size > r.OldSize) return size <= written;
    return size == r.OldSize && (written >= size || page.substr(written) == old.substr(written));
}

// Whether the locked page is the file the save was writing: the file at the path the save was
// given, made when that one was, and not set back to before the save found it.
bool IsRecordedFile(int page, const struct stat& st, const TRecord& r) {
    struct stat named {};
    if (::stat(r.Page.c_str(), &named) != 0 || named.st_dev != st.st_dev ||
        named.st_ino != st.st_ino)
        return false;
    const std::int64_t born = BornNs(page);
    if (r.Born != 0 && born != 0 && born != r.Born) return false;
    return Nanoseconds(st.st_mtim) >= r.OldModifiedNs;
}

// What became of a page whose in-place save left `record`, told by the copy of its old bytes,
// the hashes of the new ones and what the record says of the file. The finished page and the
// untouched one need nothing else; a torn page must be proven the file the save wrote.
TVerdict Classify(int page, int backup, const TRecord& record) {
    struct stat pageStat {
    }, backupStat{};
    if (::fstat(page, &pageStat) != 0 || ::fstat(backup, &backupStat) != 0)
        return TVerdict::Unproven;
    const TMapping now(page, static_cast<std::size_t>(pageStat.st_size));
    if (!now.Ok()) return TVerdict::Unproven;
    const std::string_view pageBytes = now.View();
    if (pageBytes.size() == record.NewSize && HashBytes(pageBytes) == record.NewHash)
        return TVerdict::Finished;
    // A copy that is not the old page as the save found it tells nothing.
    if (static_cast<std::uint64_t>(backupStat.st_size) != record.OldSize) return TVerdict::Unproven;
    const TMapping old(backup, static_cast<std::size_t>(record.OldSize));
    if (!old.Ok()) return TVerdict::Unproven;
    const std::string_view oldBytes = old.View();
    if (record.Version >= 2 && HashBytes(oldBytes) != record.OldHash) return TVerdict::Unproven;
    if (pageBytes == oldBytes) return TVerdict::Untouched;
    if (record.Version < 2 || !IsRecordedFile(page, pageStat, record)) return TVerdict::Unproven;
    return IsTornMix(pageBytes, oldBytes, record) ? TVerdict::Torn : TVerdict::WrittenSince;
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

// Whether a page is locked to be read or to be written; the errors say which.
enum class TUse { Read, Write };

// Opens the page at target and locks it against other saves; after the lock, the page must
// still be the file at target, or another save replaced it meanwhile and its successor is locked
// instead. False, with no lock, when there is no file at target. What is no regular file is
// refused by its kind before it is opened, since opening a device may act on it.
bool LockPage(const std::string& path, const fs::path& target, int operation,
              std::chrono::milliseconds wait, TFd& file, struct stat& st, TUse use = TUse::Write) {
    const auto failure = [&](int cause) {
        return use == TUse::Read ? CannotOpenError(path, cause) : CannotCreateError(path, cause);
    };
    const auto refusal = [&](mode_t mode) {
        const TFileKind kind = detail::KindOfMode(mode);
        return use == TUse::Read ? NotRegularFileError(path, kind)
                                 : NotRegularTargetError(path, kind);
    };
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::stat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) return false;
            throw failure(errno);
        }
        if (!S_ISREG(st.st_mode)) throw refusal(st.st_mode);
        // Only for reading: a file opened for writing tells watchers it was written when closed.
        file.Reset(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.Fd < 0) {
            if (errno == ENOENT) return false;
            throw failure(errno);
        }
        if (::fstat(file.Fd, &st) != 0) throw failure(errno);
        if (!S_ISREG(st.st_mode)) throw refusal(st.st_mode);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!Lock(file.Fd, operation, std::max(left, std::chrono::milliseconds(0))))
            throw use == TUse::Read ? ReadBusyError(path) : SaveBusyError(path);
        struct stat named {};
        if (::fstat(file.Fd, &st) != 0) throw failure(errno);
        if (::stat(target.c_str(), &named) != 0) {
            if (errno == ENOENT) continue;
            throw failure(errno);
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
// page or the untouched one lets it go; any other raises, since reading or saving a torn page
// would make the damage final, and what is not known to be the torn page is the user's to judge.
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
        case TVerdict::Finished:
        case TVerdict::Untouched:
            RemoveRecord(folder, key, record->Backup);
            return;
        case TVerdict::Torn:
            throw TInterruptedSaveError(path, backup.string(), TInterruption::Torn);
        case TVerdict::WrittenSince:
            throw TInterruptedSaveError(path, backup.string(), TInterruption::WrittenSince);
        case TVerdict::Unproven:
            throw TInterruptedSaveError(path, backup.string(), TInterruption::Unproven);
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
    record.Born = BornNs(page);
    record.OldSize = static_cast<std::uint64_t>(before.st_size);
    record.OldModifiedNs = Nanoseconds(before.st_mtim);
    record.OldChangedNs = Nanoseconds(before.st_ctim);
    record.NewSize = bytes.Size();
    record.Pieces = BlockHashes(bytes, record.PieceSize, record.NewHash);
    record.Page = FullName(path).string();
    bool recorded = false;
    struct TForget {
        std::function<void()> Run;
        ~TForget() { Run(); }
    } forget{[&] {
        if (recorded) RemoveRecord(folder, key, record.Backup);
    }};
    THasher copied;
    if (!WriteCompleteFile(folder, record.Backup, {}, page, &copied, hooks.WhileCopying))
        throw CannotCreateError(path, errno);
    recorded = true;
    record.OldHash = copied.Finish();
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
    // Partial copies are left only by in-place saves that were killed, of pages that may never be
    // saved in place again: every save looks for them.
    if (const fs::path backups = BackupFolder(); !backups.empty())
        RemoveStaleTemps(backups, IsTempName);
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
        if ((old.st_mode & 0222) == 0) throw CannotWriteError(path, EACCES);
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            throw CannotWriteError(path, errno);
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

std::string ReadPageStamped(const std::string& path, TFileStamp& stamp) {
    // What is no regular file, or cannot be opened, is the reader's to refuse.
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return ReadFileStamped(path, stamp);
    // Before the record is looked for: a save that starts after the look and overwrites the page
    // in place would otherwise be read halfway.
    TFd page;
    if (LockPage(path, ResolveTarget(path), LOCK_SH, std::chrono::seconds(10), page, st,
                 TUse::Read))
        SettleRecord(page.Fd, path, st);
    if (const TSaveHooks& hooks = HooksOf({}); hooks.AfterRecordLookup) hooks.AfterRecordLookup();
    return ReadFileStamped(path, stamp);
}

void RecoverInterruptedSave(const std::string& path) {
    const fs::path folder = BackupFolder();
    TFd page;
    struct stat st {};
    if (path.empty() || folder.empty()) throw NothingToRecoverError(path);
    const fs::path target = ResolveTarget(path);
    // The page is read before anything is written to it, and its errors say so.
    if (!LockPage(path, target, LOCK_EX, std::chrono::seconds(10), page, st, TUse::Read))
        throw NothingToRecoverError(path);
    const std::string key = RecordKey(st);
    const std::optional<std::string> text = ReadSmallFile(folder / (key + ".record"));
    const std::optional<TRecord> record = text ? ParseRecord(*text) : std::nullopt;
    if (!record) throw NothingToRecoverError(path);
    const fs::path backup = folder / record->Backup;
    const TFd copy(::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (copy.Fd < 0) throw CannotOpenError(backup.string(), errno);
    switch (Classify(page.Fd, copy.Fd, *record)) {
        case TVerdict::Finished:
        case TVerdict::Untouched:
            break;
        case TVerdict::WrittenSince:
            throw TInterruptedSaveError(path, backup.string(), TInterruption::WrittenSince);
        case TVerdict::Unproven:
            throw TInterruptedSaveError(path, backup.string(), TInterruption::Unproven);
        case TVerdict::Torn: {
            // In place, so that the page stays the file its links and other names share.
            const TMapping old(copy.Fd, static_cast<std::size_t>(record->OldSize));
            const TFd file(OpenLockedForWriting(target, st));
            if (file.Fd < 0) throw CannotCreateError(path, errno);
            if (!old.Ok() || !WriteAllAt(file.Fd, old.View(), 0) ||
                ::ftruncate(file.Fd, static_cast<off_t>(record->OldSize)) != 0 ||
                ::fsync(file.Fd) != 0)
                throw CannotCreateError(path, errno);
            break;
        }
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
