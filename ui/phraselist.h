#pragma once

// The phrase list of the Translate page: its model over the open document, the delegate that
// draws a row with its kind tile, the list view, and the entry field above it.

#include <QAbstractListModel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>
#include <functional>

#include "core/document.h"
#include "ui/pictures.h"

namespace quillfen {

// The rows of the phrase list over the open document: Qt::EditRole gives the row string
// (what the entry field receives), Qt::DisplayRole the phrase's Text (what the row shows).
class TPhraseModel : public QAbstractListModel {
  public:
    static constexpr int KindRole = Qt::UserRole + 1;

    explicit TPhraseModel(const TDocument& doc, QObject* parent = nullptr)
        : QAbstractListModel(parent), Doc(doc) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The document has been refilled or emptied.
    void Reset();
    // Around a change of the document that the view must not see half done.
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void RowChanged(int row);
    void AllRowsChanged();

  private:
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

// The entry field. Pasted line breaks become blanks as soon as they arrive. Its selection stays
// in sight while another control has the focus: the user sees what typing will replace.
class TEntryEdit : public QLineEdit {
  public:
    explicit TEntryEdit(QWidget* parent = nullptr);

    // Each key pressed in the field, before the field handles it; true keeps the key from the
    // field.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers)> KeyDown;
    // Ctrl+Z (false), Ctrl+Shift+Z or Ctrl+Y (true): the owner decides between the field's own
    // undo and the page's. Neither the field nor a menu shortcut sees these keys.
    std::function<void(bool redo)> UndoRedo;

  protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// The list of the document's phrases, one row each, single selection, nothing edited in place.
// A page loads without a selected row; the first Down in the list then selects the first row,
// not the second, so the list must not make a current row of its own when it gets the focus.
class TPhraseList : public QListView {
  public:
    // images: the kind tiles, which must outlive the list.
    TPhraseList(const TDocument& doc, const TKindImages& images, QWidget* parent);

    TPhraseModel* Model = nullptr;

  protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace quillfen
