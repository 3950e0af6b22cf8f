#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/buffer.h"
#include "core/files/filestamp.h"

namespace quillfen {

// What tests make a save do at its delicate moments. Real saves leave it empty.
struct TSaveHooks {
    // Runs under the page's lock after the new page is written and synced, right before the
    // last look for another program's change.
    std::function<void()> BeforeFinalCheck;
    // In place: the page takes this many new bytes, and then the write fails as on a full disk.
    std::optional<std::size_t> InPlaceFailAfter;
    // With InPlaceFailAfter: putting the old bytes back fails as well.
    bool RestoreFails = false;
    // With InPlaceFailAfter: runs when the fault strikes, before it is handled (a test that
    // kills the process here sees what a crash leaves).
    std::function<void()> AtInPlaceFault;
    // In place: runs while the copy of the old bytes is written, after its first piece (a test
    // that kills the process here sees what a save killed while copying leaves).
    std::function<void()> WhileCopying;
    // In a reader: runs after it looked for the record of an interrupted save, right before it
    // reads the page.
    std::function<void()> AfterRecordLookup;
};

// Makes every save of this thread use hooks while it lives, for tests that save through a window
// or a document; a hook given with the call wins.
class TSaveHooksScope {
  public:
    explicit TSaveHooksScope(const TSaveHooks& hooks);
    ~TSaveHooksScope();
    TSaveHooksScope(const TSaveHooksScope&) = delete;
    TSaveHooksScope& operator=(const TSaveHooksScope&) = delete;

  private:
    const TSaveHooks* previous_;
};

struct TSaveOptions {
    // The file as it was read. When the save's target is that file (the same device and inode,
    // or the path it was read from, however spelled) and another program has changed it since,
    // the save is refused with ChangedWhileReadError, both before anything is written and again
    // right before the new bytes take the page's place.
    const TFileStamp* Read = nullptr;
    std::string ReadFrom;
    // How long to wait for another Quillfen save of the same page before giving up with
    // SaveBusyError.
    std::chrono::milliseconds LockWait{10000};
    const TSaveHooks* Hooks = nullptr;
};

// A file's new bytes given as pieces that follow one another, so that a large file can be
// written from where its parts lie (a page's unchanged stretches and its new texts) without being
// put together first. The pieces must outlive the write.
//
// Or bytes that a producer makes in order, part by part, as often as the write reads them (to
// write, to hash, to keep a record of an in-place write): a file many times larger than what it
// is made from (an export of a page's phrases) is never held whole. The producer must outlive
// the write and give the same bytes every time.
class TPieces {
  public:
    class TProducer {
      public:
        virtual ~TProducer() = default;
        // Starts again at the first byte.
        virtual void Restart() = 0;
        // The next part into part, valid until the next call; false once there is none.
        virtual bool Next(std::string_view& part) = 0;
    };

    TPieces() = default;
    TPieces(std::string_view bytes) { Add(bytes); }  // NOLINT: one piece
    explicit TPieces(TProducer& producer) : producer_(&producer) {}
    void Add(std::string_view piece) {
        if (piece.empty()) return;
        pieces_.push_back(piece);
        size_ += piece.size();
    }
    // A producer's size costs a pass over its bytes, taken when first asked for.
    std::size_t Size() const;
    // Calls f with the parts of the bytes [from, from + length) in order; stops where f gives
    // false, and then gives false.
    bool ForEach(std::size_t from, std::size_t length,
                 const std::function<bool(std::string_view)>& f) const;
    std::uint64_t Hash(std::size_t from = 0, std::size_t length = std::string_view::npos) const;
    std::string Joined() const;

  private:
    std::vector<std::string_view> pieces_;
    mutable std::size_t size_ = 0;
    TProducer* producer_ = nullptr;
    // Where the producer stands: its current part, which starts at partAt_ of the bytes. A pass
    // from the first byte to the last gives the size and the hash on the way.
    mutable bool sized_ = false, started_ = false, ended_ = false;
    mutable std::string_view part_;
    mutable std::size_t partAt_ = 0;
    mutable std::uint64_t hash_ = 0;
    mutable std::optional<THasher> hasher_;
};

// Writes the file at path so that it is never left half-written and stays the file it was.
//
// Normally the bytes go into a temporary file in the same folder (".NAME.quillfen-XXXXXX"), which
// takes over the old file's owner, group, mode (setuid and setgid included), ACL and extended
// attributes and then replaces it. Where that would lose something (a second hard link, an
// owner, group, ACL or attribute that cannot be carried over) or cannot work (the folder is not
// writable), the file is overwritten in place instead: first a complete, synced copy of its old
// bytes goes into the user's cache folder with a record of the page and of the new bytes, so
// that a save killed halfway is recognised when the page is read next (ReadPageStamped);
// a failed in-place write puts the old bytes back.
//
// Saves of one page are serialised across processes by an exclusive lock on the page (flock),
// which the system releases when a process dies; a save that waits in vain raises
// SaveBusyError. Temporary files and partial copies stay locked while their save runs; a later
// save of the same page removes the temporary files beside it whose save is gone, and every save
// the partial copies in the backup folder whose save is gone. Other files are never removed.
//
// Whether the user may write an existing file is decided by the system; a file without any write
// bit is refused even for root. A symbolic link is written through to its target, which is
// created if it does not exist. What is no regular file is refused by its kind
// (NotRegularTargetError). A failure raises "Datei %s kann nicht erstellt werden" with the
// system's cause, and leaves an existing file as it was.
//
// On Windows the path is UTF-8. The temporary file takes over the old file's attributes and
// replaces it by the system's replace call, which keeps its security and creation time; a file
// with the read-only attribute is refused. There is no in-place write (a second hard link keeps
// the old bytes) and no lock; the change check runs as on other systems.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
void WriteFileAtomically(const std::string& path, const TPieces& bytes);
// The same, describing the file as written, for a later ChangedOnDisk.
void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileStamp& written,
                         const TSaveOptions& options = {});
void WriteFileAtomically(const std::string& path, const TPieces& bytes, TFileStamp& written,
                         const TSaveOptions& options = {});

// Reads the page at path as ReadFileStamped does, under a shared lock on it that keeps every save
// of the page out from before it looks for an interrupted save's record until the page is read;
// waits for a save of the page that is running (ReadBusyError when it runs longer than a save
// waits). An in-place save keeps a record while it overwrites the page: when the page is the
// finished new page, or still the old one, the record and the copy of the old bytes go without a
// word. Otherwise raises TInterruptedSaveError, naming the copy: the page is torn, or another
// program wrote it since, or it cannot be shown to be the file the save wrote.
std::string ReadPageStamped(const std::string& path, TFileStamp& stamp);
// Puts the copy of the old bytes back into the page whose in-place save was interrupted and
// removes the record, when the page is proven torn: the file the save wrote, at the path it was
// given, the new bytes up to some point and the old ones behind it. Anything else raises
// TInterruptedSaveError and keeps the copy, which the user may compare and delete; raises TError
// when there is nothing to recover. A page that is the finished new one, or the old one, only
// loses its record.
void RecoverInterruptedSave(const std::string& path);
// The copy of the old bytes of an interrupted in-place save of the page at path; nullopt when
// there is none.
std::optional<std::string> FindCrashBackup(const std::string& pagePath);

}  // namespace quillfen
