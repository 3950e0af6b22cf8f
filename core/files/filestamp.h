#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/errors.h"

namespace quillfen {

// Larger files are refused before a byte is read: no page is that large, and reading one whole
// would only exhaust memory.
inline constexpr std::uint64_t MaxFileBytes = std::uint64_t{1} << 30;

// What a file was when it was read or last written, to notice later whether another program
// changed it. Times are nanoseconds since the epoch.
struct TFileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    std::uint64_t Hash = 0;  // HashBytes of the contents

    bool operator==(const TFileStamp&) const = default;
};

// A fast 64-bit hash (the XXH64 algorithm, seed 0) that tells contents apart; not for security.
std::uint64_t HashBytes(std::string_view bytes);

// The same hash of bytes given in pieces: Finish gives HashBytes of all of them in a row.
class THasher {
  public:
    THasher();
    void Add(std::string_view bytes);
    std::uint64_t Finish() const;

  private:
    std::uint64_t v_[4];
    unsigned char buffer_[32];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

// Reads a whole regular file and describes it, both from the same open file, so that the stamp
// belongs to exactly these bytes. Symbolic links are followed. A FIFO, device, socket or folder is
// refused at once, without waiting for a writer, and a file above MaxFileBytes before it is read.
// Raises TError: NotRegularFileError, FileTooLargeError or CannotOpenError.
std::string ReadFileStamped(const std::string& path, TFileStamp& stamp);

// Whether the file at path holds other bytes than the stamp describes. The device, inode, size and
// times decide when they all match; otherwise the file is read and hashed, so that a touch or a
// checkout that writes the same bytes counts as no change. A file that is gone, replaced by
// something that is no regular file, or unreadable counts as changed.
bool ChangedOnDisk(const std::string& path, const TFileStamp& stamp);

namespace detail {
// The reader behind ReadFileBytes and ReadFileStamped; the stamp, when asked for, costs a hash.
std::string ReadRegularFile(const std::string& path, TFileStamp* stamp);
// Whether the file at path, whose facts as the system now tells them (the hash aside) are now,
// holds other bytes than stamp describes: the same facts need no reading, another size is
// another file, and otherwise its bytes are read and hashed.
bool DiffersFrom(const std::string& path, TFileStamp now, const TFileStamp& stamp);
#ifdef _WIN32
// The system's wide calls take a path as its full UTF-16 form, long paths included; the
// program's paths are UTF-8. Empty for text that is no UTF-8 or names no path.
std::wstring WidePath(const std::string& path);
// The errno value nearest to a Windows error code, for TError::Cause.
int ErrnoFromWindows(unsigned long error);
// Fills the facts of a stamp from an open file handle, leaving the hash alone; false when the
// system cannot describe the file. Device is the volume's serial number, Inode the file index.
bool StampFromHandle(void* handle, TFileStamp& stamp);
// What an open handle that is no file on a disk (GetFileType) is: a pipe, a device, or other.
TFileKind KindOfHandle(void* handle);
#else
// Fills the facts of a stamp from fstat, leaving the hash alone; false when fstat fails.
bool StampFromFd(int fd, TFileStamp& stamp);
// What a file of this st_mode is, when it is no regular file.
TFileKind KindOfMode(unsigned mode);
#endif
}  // namespace detail

}  // namespace quillfen
