#include "core/filestamp.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
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

#ifndef _WIN32
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
#endif

}  // namespace

std::uint64_t HashBytes(std::string_view bytes) {
    THasher hasher;
    hasher.Add(bytes);
    return hasher.Finish();
}

THasher::THasher() : v_{Prime1 + Prime2, Prime2, 0, 0 - Prime1} {}

void THasher::Add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    total_ += bytes.size();
    auto stripe = [this](const unsigned char* q) {
        v_[0] = Round(v_[0], Load64(q));
        v_[1] = Round(v_[1], Load64(q + 8));
        v_[2] = Round(v_[2], Load64(q + 16));
        v_[3] = Round(v_[3], Load64(q + 24));
    };
    if (buffered_ > 0) {
        const std::size_t take = std::min<std::size_t>(32 - buffered_, bytes.size());
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        if (buffered_ < 32) return;
        stripe(buffer_);
        buffered_ = 0;
    }
    for (; end - p >= 32; p += 32) stripe(p);
    std::memcpy(buffer_, p, static_cast<std::size_t>(end - p));
    buffered_ = static_cast<std::size_t>(end - p);
}

std::uint64_t THasher::Finish() const {
    std::uint64_t h;
    if (total_ >= 32) {
        h = Rotl(v_[0], 1) + Rotl(v_[1], 7) + Rotl(v_[2], 12) + Rotl(v_[3], 18);
        h = Merge(Merge(Merge(Merge(h, v_[0]), v_[1]), v_[2]), v_[3]);
    } else {
        h = Prime5;
    }
    h += total_;
    const unsigned char* p = buffer_;
    const unsigned char* const end = buffer_ + buffered_;
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

#ifndef _WIN32
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
#endif

std::string ReadFileStamped(const std::string& path, TFileStamp& stamp) {
    return detail::ReadRegularFile(path, &stamp);
}

#ifndef _WIN32
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
#else
namespace {

// A handle closed on every way out.
class THandle {
  public:
    explicit THandle(HANDLE handle) : Handle(handle) {}
    ~THandle() {
        if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    const HANDLE Handle;
};

// Shared for reading, so that an editor holding the page open does not stop it; a folder opens
// too, to be told as one.
HANDLE OpenForReading(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// FILETIME counts 100 ns from 1601.
std::int64_t Nanoseconds(std::int64_t ticks) {
    constexpr std::int64_t From1601To1970 = 116444736000000000;
    return (ticks - From1601To1970) * 100;
}

std::int64_t Ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) |
                                     time.dwLowDateTime);
}

// Refuses what is no file on a disk: a pipe, a device such as NUL or CON, a folder.
void CheckReadable(const std::string& path, HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    switch (GetFileType(file)) {
        case FILE_TYPE_DISK:
            break;
        case FILE_TYPE_PIPE:
            throw NotRegularFileError(path, TFileKind::Fifo);
        case FILE_TYPE_CHAR:
            throw NotRegularFileError(path, TFileKind::CharacterDevice);
        default:
            throw NotRegularFileError(path, TFileKind::Other);
    }
    if (!GetFileInformationByHandle(file, &info))
        throw CannotOpenError(path, detail::ErrnoFromWindows(GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw NotRegularFileError(path, TFileKind::Folder);
    if (((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) > MaxFileBytes)
        throw FileTooLargeError(path);
}

void FillStamp(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info, TFileStamp& stamp) {
    stamp.Device = info.dwVolumeSerialNumber;
    stamp.Inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.ModifiedNs = Nanoseconds(Ticks(info.ftLastWriteTime));
    // The change time, which a rename or a change of attributes moves as well, is not part of
    // the handle's basic information.
    FILE_BASIC_INFO basic{};
    stamp.ChangedNs = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                          ? Nanoseconds(basic.ChangeTime.QuadPart)
                          : stamp.ModifiedNs;
}

}  // namespace

namespace detail {

std::wstring WidePath(const std::string& path) {
    if (path.empty() || path.size() > 0x7FFF) return {};
    const int size = static_cast<int>(path.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), n);
    if (wide.find(L'\0') != std::wstring::npos) return {};
    // The full form resolves "." and "..", the current folder and "/"; with the \\?\ prefix it
    // may pass the 260 characters of MAX_PATH.
    DWORD room = MAX_PATH;
    std::wstring full;
    for (;;) {
        full.assign(room, L'\0');
        const DWORD got = GetFullPathNameW(wide.c_str(), room, full.data(), nullptr);
        if (got == 0) return {};
        if (got < room) {
            full.resize(got);
            break;
        }
        room = got;
    }
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

int ErrnoFromWindows(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_ACCESS:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
        case ERROR_NO_UNICODE_TRANSLATION:
            return EINVAL;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

bool StampFromHandle(void* handle, TFileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(static_cast<HANDLE>(handle), &info)) return false;
    FillStamp(static_cast<HANDLE>(handle), info, stamp);
    return true;
}

std::string ReadRegularFile(const std::string& path, TFileStamp* stamp) {
    if (path.empty()) throw CannotOpenError(path, ENOENT);
    const std::wstring wide = WidePath(path);
    if (wide.empty()) throw CannotOpenError(path, EINVAL);
    // Opening a pipe or a device has no effect until it is read, so the kind is told from the
    // open handle.
    const THandle file(OpenForReading(wide, GENERIC_READ));
    if (file.Handle == INVALID_HANDLE_VALUE)
        throw CannotOpenError(path, ErrnoFromWindows(GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    CheckReadable(path, file.Handle, info);

    // One byte more than the file has, so that the read that finds the end needs no larger
    // string: growing it would copy the whole page.
    std::string data;
    data.resize(((std::size_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) {
            // A file that grew since it was described.
            if (data.size() > MaxFileBytes) throw FileTooLargeError(path);
            data.resize(data.size() + (std::size_t{1} << 16));
        }
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - used, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.Handle, data.data() + used, want, &got, nullptr))
            throw CannotOpenError(path, ErrnoFromWindows(GetLastError()));
        if (got == 0) break;
        used += got;
    }
    if (used > MaxFileBytes) throw FileTooLargeError(path);
    data.resize(used);
    if (stamp) {
        FillStamp(file.Handle, info, *stamp);
        stamp->Size = data.size();
        stamp->Hash = HashBytes(data);
    }
    return data;
}

}  // namespace detail

bool ChangedOnDisk(const std::string& path, const TFileStamp& stamp) {
    const std::wstring wide = detail::WidePath(path);
    if (wide.empty()) return true;
    TFileStamp now;
    {
        const THandle file(OpenForReading(wide, FILE_READ_ATTRIBUTES));
        BY_HANDLE_FILE_INFORMATION info{};
        if (file.Handle == INVALID_HANDLE_VALUE || GetFileType(file.Handle) != FILE_TYPE_DISK ||
            !GetFileInformationByHandle(file.Handle, &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
        FillStamp(file.Handle, info, now);
    }
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
#endif

}  // namespace quillfen
