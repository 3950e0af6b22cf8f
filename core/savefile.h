#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/buffer.h"
#include "core/filestamp.h"

namespace quillfen {

// Writes the file at path so that it is never left half-written and stays the file it was.
//
// Normally the bytes go into a temporary file in the same folder, which takes over the old
// file's owner, group, mode (setuid and setgid included), ACL and extended attributes and then
// replaces it. Where that would lose something (a second hard link, an owner, group, ACL or
// attribute that cannot be carried over) or cannot work (the folder is not writable), the file
// is overwritten in place instead, with a copy of its old bytes kept in the user's cache folder
// until the new ones are synced; a failed in-place write puts the old bytes back.
//
// Whether the user may write an existing file is decided by the system; a file without any write
// bit is refused even for root. A symbolic link is written through to its target. A failure
// raises "Datei %s kann nicht erstellt werden" with the system's cause, and leaves an existing
// file as it was.
//
// On Windows the path is UTF-8. The temporary file takes over the old file's attributes and
// replaces it by the system's replace call, which keeps its security and creation time; a file
// with the read-only attribute is refused. There is no in-place write: a second hard link keeps
// the old bytes.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
// The same, describing the file as written, for a later ChangedOnDisk.
void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileStamp& written);

// The copy of a page's old bytes that an in-place write left behind when it was interrupted, so
// that the user can be told where it is when the page is opened again; nullopt when there is none.
// The next in-place write of the same page replaces that copy.
std::optional<std::string> FindCrashBackup(const std::string& pagePath);

#ifndef _WIN32
namespace detail {
// Fault injection for tests: during the next in-place write the page takes `bytes` new bytes and
// then fails as a full disk does; with restoreFails, putting the old bytes back fails as well, as
// after a crash. Real devices reach these paths only on I/O errors.
void InjectInPlaceWriteFault(std::size_t bytes, bool restoreFails);
}  // namespace detail
#endif

}  // namespace quillfen
