#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "core/errors.h"
#include "core/files/filereader.h"
#include "core/files/filestamp.h"

namespace quillfen {

TFileReader::TFileReader(const std::string& path) : path_(path) {
    if (path.empty()) throw CannotOpenError(path, ENOENT);
    const std::wstring wide = detail::WidePath(path);
    if (wide.empty()) throw CannotOpenError(path, EINVAL);
    // Shared for reading, so that a tool holding the file open does not stop it; a folder opens
    // too, to be told as one. Opening a pipe or a device has no effect until it is read.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw CannotOpenError(path, detail::ErrnoFromWindows(GetLastError()));
    // Closed by the destructor once the file is known to be one to read.
    struct TClose {
        HANDLE file;
        ~TClose() {
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    } close{file};
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
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        throw CannotOpenError(path, detail::ErrnoFromWindows(GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw NotRegularFileError(path, TFileKind::Folder);
    handle_ = reinterpret_cast<std::intptr_t>(file);
    close.file = INVALID_HANDLE_VALUE;
}

TFileReader::~TFileReader() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::size_t TFileReader::Read(char* buffer, std::size_t size) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, nullptr))
        throw CannotOpenError(path_, detail::ErrnoFromWindows(GetLastError()));
    return got;
}

}  // namespace quillfen
