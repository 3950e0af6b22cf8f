#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
// Fills the facts of a stamp from fstat, leaving the hash alone; false when fstat fails.
bool StampFromFd(int fd, TFileStamp& stamp);
}  // namespace detail

}  // namespace quillfen
