#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/files/filestamp.h"

namespace quillfen {

namespace {

void CheckReadable(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, detail::KindOfMode(st.st_mode));
    if (static_cast<std::uint64_t>(st.st_size) > MaxFileBytes) throw FileTooLargeError(path);
}

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void FillStamp(const struct stat& st, TFileStamp& stamp) {
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = static_cast<std::uint64_t>(st.st_size);
    stamp.ModifiedNs = Nanoseconds(st.st_mtim);
    stamp.ChangedNs = Nanoseconds(st.st_ctim);
}

class TFd {
  public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0) ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    const int Fd;
};

// Reads to the end of the file into data, sized for what fstat promised and one byte more, so
// that the read that finds the end needs no larger string: growing it would copy the whole page
// and hold it twice. False with errno set on a read error.
bool ReadToEnd(int fd, std::string& data, const std::string& path) {
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) {
            // A file that grew since fstat, or one whose size the system does not know ahead.
            if (data.size() > MaxFileBytes) throw FileTooLargeError(path);
            data.resize(data.size() + (std::size_t{1} << 16));
        }
        const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    if (used > MaxFileBytes) throw FileTooLargeError(path);
    data.resize(used);
    return true;
}

}  // namespace

namespace detail {

TFileKind KindOfMode(unsigned mode) {
    if (S_ISDIR(mode)) return TFileKind::Folder;
    if (S_ISFIFO(mode)) return TFileKind::Fifo;
    if (S_ISCHR(mode)) return TFileKind::CharacterDevice;
    if (S_ISBLK(mode)) return TFileKind::BlockDevice;
    if (S_ISSOCK(mode)) return TFileKind::Socket;
    return TFileKind::Other;
}

bool StampFromFd(int fd, TFileStamp& stamp) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    FillStamp(st, stamp);
    return true;
}

std::string ReadRegularFile(const std::string& path, TFileStamp* stamp) {
    if (path.empty()) throw CannotOpenError(path, ENOENT);
    // The kind is checked before opening, since opening a FIFO or some devices waits or has
    // effects, and a socket cannot be opened at all.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw CannotOpenError(path, errno);
    CheckReadable(path, st);
    // Without blocking, in case the path was swapped for a FIFO since the check.
    const TFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Fd < 0) throw CannotOpenError(path, errno);
    if (::fstat(file.Fd, &st) != 0) throw CannotOpenError(path, errno);
    CheckReadable(path, st);

    std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
    if (!ReadToEnd(file.Fd, data, path)) throw CannotOpenError(path, errno);
    if (stamp) {
        FillStamp(st, *stamp);
        stamp->Size = data.size();
        stamp->Hash = HashBytes(data);
    }
    return data;
}

}  // namespace detail

bool ChangedOnDisk(const std::string& path, const TFileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    TFileStamp now;
    FillStamp(st, now);
    return detail::DiffersFrom(path, now, stamp);
}

}  // namespace quillfen
