#include "core/savefile.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "core/errors.h"

namespace fs = std::filesystem;

namespace quillfen {

#ifndef _WIN32
namespace {

struct TWriteFault {
    bool Armed = false;
    std::size_t Bytes = 0;
    bool RestoreFails = false;
};

TWriteFault PendingFault;

class TFd {
  public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    bool Close() {
        const int fd = std::exchange(Fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    int Fd;
};

// Removes a temporary file on every way out but success.
class TTempFile {
  public:
    explicit TTempFile(std::string name) : Name(std::move(name)) {}
    ~TTempFile() {
        if (!Name.empty()) ::unlink(Name.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    void Keep() { Name.clear(); }
    std::string Name;
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

// Writes bytes at the start of the page; `written` counts what reached it, so that a failure
// knows how much of the old contents to put back.
bool WriteFromStart(int fd, std::string_view bytes, std::size_t& written, const TWriteFault& fault,
                    bool restoring) {
    written = 0;
    while (written < bytes.size()) {
        std::size_t chunk = bytes.size() - written;
        if (fault.Armed) {
            if (restoring ? fault.RestoreFails : written >= fault.Bytes) {
                errno = restoring ? EIO : ENOSPC;
                return false;
            }
            if (!restoring) chunk = std::min(chunk, fault.Bytes - written);
        }
        const ssize_t n = ::pwrite(fd, bytes.data() + written, chunk, static_cast<off_t>(written));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadFromStart(int fd, std::string& data) {
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) data.resize(data.size() + (std::size_t{1} << 16));
        const ssize_t n =
            ::pread(fd, data.data() + used, data.size() - used, static_cast<off_t>(used));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    data.resize(used);
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

// The temporary name: hidden, beside the file, and within the folder's name limit however long
// the file's own name is.
std::string TempTemplate(const fs::path& folder, const fs::path& file) {
    constexpr std::string_view Suffix = ".XXXXXX";
    const std::size_t room = NameLimit(folder) - 1 - Suffix.size();
    std::string name(1, '.');
    name.append(Shorten(file.filename().string(), room)).append(Suffix);
    return (folder / name).string();
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

// The backup's name maps back to exactly one page: a hash of the page's full path, resolved the
// same way whichever name the page was saved under, and its name for the user to recognise.
std::string BackupName(const fs::path& page) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(page, ec), ec);
    if (ec) full = fs::absolute(page, ec).lexically_normal();
    const std::string key = full.string();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(HashBytes(key)));
    std::string name(hex);
    name.append(1, '-').append(Shorten(full.filename().string(), NAME_MAX - 17));
    return name;
}

bool MakePrivateFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder.parent_path().parent_path(), ec);
    for (const fs::path& dir : {folder.parent_path(), folder})
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return true;
}

// Keeps the page's old bytes where a crash cannot leave half of them: a full copy appears under
// its name or none does.
void WriteBackup(const std::string& path, const fs::path& backup, std::string_view old) {
    const fs::path folder = backup.parent_path();
    if (folder.empty() || !MakePrivateFolders(folder)) throw CannotCreateError(path, errno);
    std::string name = (folder / ".partial.XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw CannotCreateError(path, errno);
    TFd file(fd);
    TTempFile temp(name);
    if (!WriteAll(fd, old) || ::fsync(fd) != 0 || !file.Close() ||
        ::rename(name.c_str(), backup.c_str()) != 0)
        throw CannotCreateError(path, errno);
    temp.Keep();
    SyncFolder(folder);
}

void RemoveBackup(const fs::path& backup) {
    ::unlink(backup.c_str());
    SyncFolder(backup.parent_path());
}

// Only when asked for, since the hash costs time on every save.
void StampWritten(int fd, std::string_view bytes, TFileStamp* stamp) {
    if (!stamp) return;
    detail::StampFromFd(fd, *stamp);
    stamp->Size = bytes.size();
    stamp->Hash = HashBytes(bytes);
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

enum class TOutcome { Written, NeedsInPlace };

TOutcome ReplaceByRename(const std::string& path, const fs::path& target, const struct stat* old,
                         std::string_view bytes, TFileStamp* stamp) {
    const fs::path folder = FolderOf(target);
    std::string name = TempTemplate(folder, target);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        if (old && (errno == EACCES || errno == EPERM)) return TOutcome::NeedsInPlace;
        throw CannotCreateError(path, errno);
    }
    TFd file(fd);
    TTempFile temp(name);
    if (!WriteAll(fd, bytes)) throw CannotCreateError(path, errno);
    if (old) {
        if (!CarryOver(target, *old, name, fd)) return TOutcome::NeedsInPlace;
    } else if (::fchmod(fd, DefaultFileMode()) != 0) {
        throw CannotCreateError(path, errno);
    }
    if (::fsync(fd) != 0) throw CannotCreateError(path, errno);
    if (::rename(name.c_str(), target.c_str()) != 0) {
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

void WriteInPlace(const std::string& path, const fs::path& target, std::string_view bytes,
                  TFileStamp* stamp) {
    const TWriteFault fault = std::exchange(PendingFault, TWriteFault{});
    const TFd page(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (page.Fd < 0) throw CannotCreateError(path, errno);
    struct stat before {};
    if (::fstat(page.Fd, &before) != 0) throw CannotCreateError(path, errno);
    if (!S_ISREG(before.st_mode)) throw CannotCreateError(path, EISDIR);
    if (static_cast<std::uint64_t>(before.st_size) > MaxFileBytes)
        throw CannotCreateError(path, EFBIG);
    std::string old(static_cast<std::size_t>(before.st_size), '\0');
    if (!ReadFromStart(page.Fd, old)) throw CannotCreateError(path, errno);

    const fs::path backupFolder = BackupFolder();
    if (backupFolder.empty()) throw CannotCreateError(path, ENOENT);
    const fs::path backup = backupFolder / BackupName(target);
    WriteBackup(path, backup, old);

    // Puts back what the new bytes overwrote, the old size and the old times, so that a failed
    // save leaves the page as it was; only then the copy in the cache goes. Only the overwritten
    // part is written, so that a limit the new bytes ran into does not stop the old ones.
    const auto fail = [&](std::size_t overwritten, int cause) {
        const std::string_view changed(old.data(), std::min(old.size(), overwritten));
        std::size_t restored = 0;
        struct stat now {};
        if (WriteFromStart(page.Fd, changed, restored, fault, true) &&
            ::fstat(page.Fd, &now) == 0 &&
            (static_cast<std::size_t>(now.st_size) == old.size() ||
             ::ftruncate(page.Fd, static_cast<off_t>(old.size())) == 0) &&
            ::fsync(page.Fd) == 0) {
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ::futimens(page.Fd, times);
            RemoveBackup(backup);
        }
        return CannotCreateError(path, cause);
    };
    if (bytes.size() > old.size()) {
        // Reserving the space first lets a full disk fail before a byte of the page is replaced.
        const int r = ::posix_fallocate(page.Fd, 0, static_cast<off_t>(bytes.size()));
        if (r != 0 && r != EOPNOTSUPP) throw fail(0, r);
    }
    std::size_t written = 0;
    if (!WriteFromStart(page.Fd, bytes, written, fault, false) ||
        ::ftruncate(page.Fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(page.Fd) != 0) {
        const int cause = errno;
        throw fail(written, cause);
    }
    // Writing clears setuid and setgid for a user without the capability to keep them.
    struct stat after {};
    if (::fstat(page.Fd, &after) == 0 && (after.st_mode & 07777) != (before.st_mode & 07777))
        ::fchmod(page.Fd, before.st_mode & 07777);
    StampWritten(page.Fd, bytes, stamp);
    RemoveBackup(backup);
}

fs::path ResolveTarget(const std::string& path) {
    std::error_code ec;
    fs::path target(path);
    // Saving through a link must change the file it points to, not replace the link.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) throw CannotCreateError(path, ec.value());
        target = resolved;
    }
    return target;
}

void Write(const std::string& path, std::string_view bytes, TFileStamp* written) {
    if (path.empty()) throw CannotCreateError(path, ENOENT);
    const fs::path target = ResolveTarget(path);
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        if (errno != ENOENT) throw CannotCreateError(path, errno);
        ReplaceByRename(path, target, nullptr, bytes, written);
        return;
    }
    if (!S_ISREG(old.st_mode)) throw CannotCreateError(path, EISDIR);
    // The system knows who may write the page (owner, group, ACL, a read-only mount); it lets root
    // write anything, so a page without any write bit is refused here for root as well.
    if ((old.st_mode & 0222) == 0) throw CannotCreateError(path, EACCES);
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        throw CannotCreateError(path, errno);
    const bool renameKeepsAll = old.st_nlink == 1 && ::faccessat(AT_FDCWD, FolderOf(target).c_str(),
                                                                 W_OK | X_OK, AT_EACCESS) == 0;
    if (renameKeepsAll && ReplaceByRename(path, target, &old, bytes, written) == TOutcome::Written)
        return;
    WriteInPlace(path, target, bytes, written);
}

}  // namespace
#else
namespace {

class THandle {
  public:
    explicit THandle(HANDLE handle) : Handle(handle) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    bool Close() {
        const HANDLE handle = std::exchange(Handle, INVALID_HANDLE_VALUE);
        return handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
    }
    HANDLE Handle;
};

// Removes a temporary file on every way out but success.
class TTempFile {
  public:
    TTempFile() = default;
    ~TTempFile() {
        if (!Name.empty()) DeleteFileW(Name.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    void Keep() { Name.clear(); }
    std::wstring Name;
};

TError Failure(const std::string& path) {
    return CannotCreateError(path, detail::ErrnoFromWindows(GetLastError()));
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), want, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// The temporary file beside the target, opened for writing: its name starts with a dot like
// the other systems' and stays within the 255 UTF-16 units of a name.
HANDLE CreateTemporary(const std::wstring& target, TTempFile& temp) {
    const std::size_t slash = target.find_last_of(L'\\');
    const std::wstring folder = target.substr(0, slash + 1);
    std::wstring name = target.substr(slash + 1);
    constexpr std::size_t Room = 255 - 1 - 9;
    if (name.size() > Room) {
        std::size_t cut = Room;
        // Not between the halves of a surrogate pair.
        if (cut > 0 && name[cut] >= 0xDC00 && name[cut] <= 0xDFFF) --cut;
        name.resize(cut);
    }
    // Saves run on several threads in the command-line tool.
    static std::atomic<unsigned> counter{0};
    const unsigned seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L".%08x", seed + 7919u * ++counter);
        temp.Name = folder + L"." + name + suffix;
        const HANDLE file = CreateFileW(temp.Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    temp.Keep();
    return INVALID_HANDLE_VALUE;
}

void Write(const std::string& path, std::string_view bytes, TFileStamp* stamp) {
    if (path.empty()) throw CannotCreateError(path, ENOENT);
    const std::wstring target = detail::WidePath(path);
    if (target.empty()) throw CannotCreateError(path, EINVAL);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) throw Failure(path);
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw CannotCreateError(path);
        // The read-only attribute is the system's refusal, which the administrator may override.
        if (attributes & FILE_ATTRIBUTE_READONLY) throw CannotCreateError(path, EACCES);
        // Replacing needs the right to delete the file, which a program holding it open may
        // deny; asked here, before a temporary file exists.
        const THandle probe(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES | DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        if (probe.Handle == INVALID_HANDLE_VALUE) throw Failure(path);
        // NUL, CON and the like.
        if (GetFileType(probe.Handle) != FILE_TYPE_DISK) throw CannotCreateError(path);
    }

    TTempFile temp;
    THandle file(CreateTemporary(target, temp));
    if (file.Handle == INVALID_HANDLE_VALUE) throw Failure(path);
    if (!WriteAll(file.Handle, bytes) || !FlushFileBuffers(file.Handle) || !file.Close())
        throw Failure(path);

    bool replaced = false;
    if (exists) {
        // The replace call carries them over on Windows itself, but not everywhere.
        constexpr DWORD Kept = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD carried = attributes & Kept;
        if (!SetFileAttributesW(temp.Name.c_str(), carried ? carried : FILE_ATTRIBUTE_NORMAL))
            throw Failure(path);
        replaced = ReplaceFileW(target.c_str(), temp.Name.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        // Gone in between: then the new file takes its place.
        if (!replaced && GetLastError() != ERROR_FILE_NOT_FOUND) throw Failure(path);
    }
    if (!replaced && !MoveFileExW(temp.Name.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw Failure(path);
    temp.Keep();

    if (stamp) {
        const THandle written(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        if (written.Handle != INVALID_HANDLE_VALUE) detail::StampFromHandle(written.Handle, *stamp);
        stamp->Size = bytes.size();
        stamp->Hash = HashBytes(bytes);
    }
}

}  // namespace
#endif

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    Write(path, bytes, nullptr);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileStamp& written) {
    Write(path, bytes, &written);
}

#ifdef _WIN32
// Nothing is written in place, so nothing is left behind.
std::optional<std::string> FindCrashBackup(const std::string&) { return std::nullopt; }
#else
std::optional<std::string> FindCrashBackup(const std::string& pagePath) {
    if (pagePath.empty()) return std::nullopt;
    const fs::path folder = BackupFolder();
    if (folder.empty()) return std::nullopt;
    const fs::path backup = folder / BackupName(pagePath);
    struct stat st {};
    if (::lstat(backup.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return backup.string();
}

namespace detail {

void InjectInPlaceWriteFault(std::size_t bytes, bool restoreFails) {
    PendingFault = TWriteFault{true, bytes, restoreFails};
}

}  // namespace detail
#endif

}  // namespace quillfen
