#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/files/filestamp.h"

namespace quillfen {

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
    if (GetFileType(file) != FILE_TYPE_DISK)
        throw NotRegularFileError(path, detail::KindOfHandle(file));
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

TFileKind KindOfHandle(void* handle) {
    switch (GetFileType(static_cast<HANDLE>(handle))) {
        case FILE_TYPE_PIPE:
            return TFileKind::Fifo;
        case FILE_TYPE_CHAR:
            return TFileKind::CharacterDevice;
        default:
            return TFileKind::Other;
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
    return detail::DiffersFrom(path, now, stamp);
}

}  // namespace quillfen
