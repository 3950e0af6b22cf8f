#pragma once

#include <QString>
#include <array>
#include <cstddef>

namespace quillfen {

// The pages opened last, newest first, as the File menu lists them and the settings keep them.
// An empty entry is free.
class TRecentFiles {
  public:
    static constexpr std::size_t Capacity = 5;
    using TEntries = std::array<QString, Capacity>;

    TRecentFiles() = default;
    explicit TRecentFiles(const TEntries& entries) : entries_(entries) {}

    // A page that has loaded. A path already listed keeps its place (paths are compared as they
    // are, case and all); another goes first and the oldest entry drops out. True when the list
    // changed.
    bool Add(const QString& path);
    // A page that is gone: the entries after it move up. True when it was listed.
    bool Remove(const QString& path);

    const TEntries& Entries() const { return entries_; }
    const QString& operator[](std::size_t n) const { return entries_[n]; }
    TEntries::const_iterator begin() const { return entries_.begin(); }
    TEntries::const_iterator end() const { return entries_.end(); }
    bool operator==(const TRecentFiles&) const = default;

    // The menu caption of entry n (from 0): "&1 /path/page.html".
    static QString MenuText(std::size_t n, const QString& path);
    // The path a menu caption of MenuText stands for.
    static QString PathOf(const QString& menuText);

  private:
    TEntries entries_;
};

}  // namespace quillfen
