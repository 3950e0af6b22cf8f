#include "settings/recentfiles.h"

#include <algorithm>

namespace quillfen {

bool TRecentFiles::Add(const QString& path) {
    if (std::find(entries_.begin(), entries_.end(), path) != entries_.end()) return false;
    std::move_backward(entries_.begin(), entries_.end() - 1, entries_.end());
    entries_[0] = path;
    return true;
}

bool TRecentFiles::Remove(const QString& path) {
    const auto at = std::find(entries_.begin(), entries_.end(), path);
    if (path.isEmpty() || at == entries_.end()) return false;
    std::move(at + 1, entries_.end(), at);
    entries_.back().clear();
    return true;
}

QString TRecentFiles::MenuText(std::size_t n, const QString& path) {
    return "&" + QString::number(n + 1) + " " + path;
}

static_assert(TRecentFiles::Capacity <= 9, "the menu caption holds a one-digit number");

// The number before the path has one digit.
QString TRecentFiles::PathOf(const QString& menuText) { return menuText.mid(3); }

}  // namespace quillfen
