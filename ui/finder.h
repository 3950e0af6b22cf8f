#pragma once

// Finding phrases by a part of their text, as the find field does: without regard to case, and
// a query typed without diacritics ("Gruss", "cafe") also finds the text with them ("Gruß",
// "café"). The folded texts are made once per page, so that typing into the find field stays
// quick on pages of many thousand phrases.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace quillfen {

// The text as the finder compares it: case folded, diacritics removed, ß as "ss".
QString FoldForFind(const QString& text);

class TPhraseFinder {
  public:
    // texts: the phrases' texts in page order, as the window shows them.
    void SetTexts(const QStringList& texts);
    // A changed phrase (after Ok, Undo, Redo).
    void SetText(int index, const QString& text);
    int Count() const { return int(folded_.size()); }

    // The phrases that contain query, in page order.
    std::vector<int> Matches(const QString& query) const;
    // The next match after from (or before it, backwards), wrapping round; from -1 starts at the
    // first (or last) phrase. Empty when nothing matches.
    std::optional<int> Next(const QString& query, int from, bool forward = true) const;

  private:
    std::vector<QString> folded_;
};

}  // namespace quillfen
