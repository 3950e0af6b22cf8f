#include "savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "errors.h"

namespace fs = std::filesystem;

namespace quillfen {

namespace {

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

mode_t DefaultFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw CannotCreateError(path);
    std::error_code ec;
    fs::path target(path);
    // Saving through a link must change the file it points to, not replace the link.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) throw CannotCreateError(path);
        target = resolved;
    }

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        // A page the user made read-only stays untouched, even for a user who could rename over it.
        if (!S_ISREG(old.st_mode) || (old.st_mode & S_IWUSR) == 0) throw CannotCreateError(path);
    }

    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string hidden(1, '.');
    hidden.append(target.filename().string()).append(".XXXXXX");
    std::string tmpl = (folder / hidden).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw CannotCreateError(path);

    bool ok = WriteAll(fd, bytes);
    if (ok) {
        mode_t mode = exists ? (old.st_mode & 07777) : DefaultFileMode();
        ok = ::fchmod(fd, mode) == 0;
        if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(name.data(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        throw CannotCreateError(path);
    }
}

}  // namespace quillfen
