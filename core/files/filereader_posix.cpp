#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/errors.h"
#include "core/files/filereader.h"

namespace quillfen {

namespace {

TFileKind KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return TFileKind::Folder;
    if (S_ISFIFO(mode)) return TFileKind::Fifo;
    if (S_ISCHR(mode)) return TFileKind::CharacterDevice;
    if (S_ISBLK(mode)) return TFileKind::BlockDevice;
    if (S_ISSOCK(mode)) return TFileKind::Socket;
    return TFileKind::Other;
}

}  // namespace

TFileReader::TFileReader(const std::string& path) : path_(path) {
    if (path.empty()) throw CannotOpenError(path, ENOENT);
    // The kind is checked before opening, since opening a FIFO or some devices waits or has
    // effects, and again on the open file, in case the path was swapped since.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw CannotOpenError(path, errno);
    if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, KindOf(st.st_mode));
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw CannotOpenError(path, errno);
    if (::fstat(fd, &st) != 0) {
        const int cause = errno;
        ::close(fd);
        throw CannotOpenError(path, cause);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw NotRegularFileError(path, KindOf(st.st_mode));
    }
    handle_ = fd;
}

TFileReader::~TFileReader() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t TFileReader::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw CannotOpenError(path_, errno);
    }
}

}  // namespace quillfen
