#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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

void Write(const std::string& path, std::string_view bytes, TFileStamp* stamp,
           const TSaveOptions& options) {
    const TSaveHooks& hooks = HooksOf(options);
    if (path.empty()) throw CannotCreateError(path, ENOENT);
    const std::wstring target = detail::WidePath(path);
    if (target.empty()) throw CannotCreateError(path, EINVAL);
    {
        // NUL, CON, pipes and the like, told by a handle that asks for nothing but attributes: a
        // device may have none to tell and refuse the right to delete it.
        const THandle kind(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
        if (kind.Handle != INVALID_HANDLE_VALUE && GetFileType(kind.Handle) != FILE_TYPE_DISK)
            throw NotRegularTargetError(path, detail::KindOfHandle(kind.Handle));
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) throw Failure(path);
    // The page that was read, by its name or as the same file under another.
    bool guarded =
        options.Read && !options.ReadFrom.empty() && detail::WidePath(options.ReadFrom) == target;
    if (guarded && !exists) throw ChangedWhileReadError();
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw NotRegularTargetError(path, TFileKind::Folder);
        // The read-only attribute is the system's refusal, which the administrator may override.
        if (attributes & FILE_ATTRIBUTE_READONLY) throw CannotWriteError(path, EACCES);
        // Replacing needs the right to delete the file, which a program holding it open may
        // deny; asked here, before a temporary file exists.
        const THandle probe(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES | DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        if (probe.Handle == INVALID_HANDLE_VALUE) throw Failure(path);
        // Or one that took the page's name since.
        if (GetFileType(probe.Handle) != FILE_TYPE_DISK)
            throw NotRegularTargetError(path, detail::KindOfHandle(probe.Handle));
        TFileStamp now;
        if (options.Read && !guarded && detail::StampFromHandle(probe.Handle, now))
            guarded = now.Device == options.Read->Device && now.Inode == options.Read->Inode;
    }
    if (guarded && ChangedOnDisk(path, *options.Read)) throw ChangedWhileReadError();

    TTempFile temp;
    THandle file(CreateTemporary(target, temp));
    if (file.Handle == INVALID_HANDLE_VALUE) throw Failure(path);
    if (!WriteAll(file.Handle, bytes) || !FlushFileBuffers(file.Handle) || !file.Close())
        throw Failure(path);
    // There is no lock here: another program's change between this look and the replace is
    // not seen.
    if (hooks.BeforeFinalCheck) hooks.BeforeFinalCheck();
    if (guarded && ChangedOnDisk(path, *options.Read)) throw ChangedWhileReadError();

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

void detail::WritePage(const std::string& path, const TPieces& bytes, TFileStamp* written,
                       const TSaveOptions& options) {
    Write(path, bytes.Joined(), written, options);
}

void detail::WritePage(const std::string& path, std::string_view bytes, TFileStamp* written,
                       const TSaveOptions& options) {
    Write(path, bytes, written, options);
}

// Nothing is written in place, so nothing is left behind, and a page is replaced whole: a reader
// sees the old file or the new one.
std::string ReadPageStamped(const std::string& path, TFileStamp& stamp) {
    return ReadFileStamped(path, stamp);
}
void RecoverInterruptedSave(const std::string& path) { throw NothingToRecoverError(path); }
std::optional<std::string> FindCrashBackup(const std::string&) { return std::nullopt; }

}  // namespace quillfen
