#pragma once

// The phrase list of the Translate page: its model over the open document, the delegate that
// draws a row with its kind tile, and the list view. The entry field above it is ui/entryedit.h.

#include <QAbstractListModel>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>
#include <functional>
#include <map>

#include "core/document/document.h"
#include "session/pagesession.h"
#include "ui/entryedit.h"
#include "ui/pictures.h"

namespace quillfen {

// The rows of the phrase list over the open page: Qt::EditRole gives the row string (what the
// entry field receives), Qt::DisplayRole the phrase's Text (what the row shows). Drafts and the
// filter are the session's.
class TPhraseModel : public QAbstractListModel {
  public:
    static constexpr int KindRole = Qt::UserRole + 1;
    // Whether the row holds a typed text not confirmed (bool), and that text.
    static constexpr int DraftRole = Qt::UserRole + 2;
    static constexpr int DraftTextRole = Qt::UserRole + 3;
    // Whether the phrase's text differs from the one it had when the page was opened (bool).
    static constexpr int ChangedRole = Qt::UserRole + 4;
    // Whether the row is one the filter shows (bool).
    static constexpr int InFilterRole = Qt::UserRole + 5;
    // The text as a reader reads it, which find searches: a sentence's without its
    // placeholders, so that words on both sides of a tag are found together.
    static constexpr int ReadTextRole = Qt::UserRole + 6;
    // The worst of the checks' findings of the phrase (int): 0 none, 1 a warning, 2 an error.
    static constexpr int FindingRole = Qt::UserRole + 7;
    // A replaced phrase's source text, shown beside its translation; none for others.
    static constexpr int SourceRole = Qt::UserRole + 8;

    explicit TPhraseModel(const TPageSession& session, QObject* parent = nullptr)
        : QAbstractListModel(parent), Session(session), Doc(session.Document()) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The document has been refilled or emptied.
    void Reset();
    // Around a change of the document that the view must not see half done.
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void RowChanged(int row);
    void AllRowsChanged();
    bool InFilter(int row) const { return row >= 0 && Session.InFilter(std::size_t(row)); }
    // The row's tool tip for a replaced phrase: its source in place of "%s".
    QString SourceFormat = QStringLiteral("%s");

  private:
    const TPageSession& Session;
    const TDocument& Doc;
};

// Draws a row 13 pixels high: the 12 x 12 kind tile at left + 2, the text at left + 18.
class TPhraseDelegate : public QStyledItemDelegate {
  public:
    TPhraseDelegate(const TKindImages& images, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), ImageList(images) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    const TKindImages& ImageList;
};

// The list of the document's phrases, one row each, single selection, nothing edited in place.
// A page loads without a selected row; the first Down in the list then selects the first row,
// not the second, so the list must not make a current row of its own when it gets the focus.
class TPhraseList : public QListView {
  public:
    // images: the kind tiles, which must outlive the list.
    TPhraseList(const TPageSession& session, const TKindImages& images, QWidget* parent);

    TPhraseModel* Model = nullptr;

  protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace quillfen
