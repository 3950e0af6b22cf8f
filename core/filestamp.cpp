#include "core/filestamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/errors.h"

namespace quillfen {

namespace {

constexpr std::uint64_t Prime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t Prime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t Prime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t Prime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t Prime5 = 0x27D4EB2F165667C5ull;

inline std::uint64_t Rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

inline std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t Round(std::uint64_t acc, std::uint64_t input) {
    acc += input * Prime2;
    return Rotl(acc, 31) * Prime1;
}

inline std::uint64_t Merge(std::uint64_t acc, std::uint64_t value) {
    acc ^= Round(0, value);
    return acc * Prime1 + Prime4;
}

TFileKind KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return TFileKind::Folder;
    if (S_ISFIFO(mode)) return TFileKind::Fifo;
    if (S_ISCHR(mode)) return TFileKind::CharacterDevice;
    if (S_ISBLK(mode)) return TFileKind::BlockDevice;
    if (S_ISSOCK(mode)) return TFileKind::Socket;
    return TFileKind::Other;
}

void CheckReadable(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, KindOf(st.st_mode));
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

// Reads to the end of the file into data, sized for what fstat promised; false with errno set
// on a read error.
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

std::uint64_t HashBytes(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    std::uint64_t h;
    if (bytes.size() >= 32) {
        std::uint64_t v1 = Prime1 + Prime2, v2 = Prime2, v3 = 0, v4 = 0 - Prime1;
        const unsigned char* const limit = end - 32;
        do {
            v1 = Round(v1, Load64(p));
            v2 = Round(v2, Load64(p + 8));
            v3 = Round(v3, Load64(p + 16));
            v4 = Round(v4, Load64(p + 24));
            p += 32;
        } while (p <= limit);
        h = Rotl(v1, 1) + Rotl(v2, 7) + Rotl(v3, 12) + Rotl(v4, 18);
        h = Merge(Merge(Merge(Merge(h, v1), v2), v3), v4);
    } else {
        h = Prime5;
    }
    h += bytes.size();
    for (; p + 8 <= end; p += 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * Prime1 + Prime4;
    if (p + 4 <= end) {
        h = Rotl(h ^ (Load32(p) * Prime1), 23) * Prime2 + Prime3;
        p += 4;
    }
    for (; p < end; ++p) h = Rotl(h ^ (*p * Prime5), 11) * Prime1;
    h ^= h >> 33;
    h *= Prime2;
    h ^= h >> 29;
    h *= Prime3;
    h ^= h >> 32;
    return h;
}

namespace detail {

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

    std::string data(static_cast<std::size_t>(st.st_size), '\0');
    if (!ReadToEnd(file.Fd, data, path)) throw CannotOpenError(path, errno);
    if (stamp) {
        FillStamp(st, *stamp);
        stamp->Size = data.size();
        stamp->Hash = HashBytes(data);
    }
    return data;
}

}  // namespace detail

std::string ReadFileStamped(const std::string& path, TFileStamp& stamp) {
    return detail::ReadRegularFile(path, &stamp);
}

bool ChangedOnDisk(const std::string& path, const TFileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    TFileStamp now;
    FillStamp(st, now);
    now.Hash = stamp.Hash;
    if (now == stamp) return false;
    if (now.Size != stamp.Size) return true;
    try {
        const std::string bytes = detail::ReadRegularFile(path, &now);
        return now.Size != stamp.Size || now.Hash != stamp.Hash;
    } catch (const TError&) {
        return true;
    }
}

}  // namespace quillfen
