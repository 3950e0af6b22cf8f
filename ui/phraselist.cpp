#include "ui/phraselist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "ui/application.h"
#include "ui/codec.h"

namespace quillfen {

namespace {

enum class THistoryKey { None, Undo, Redo };

// Matched here rather than through the platform's key bindings, which differ in whether Ctrl+Y
// redoes.
THistoryKey HistoryKeyOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods =
        event.modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier) return THistoryKey::Undo;
    if (event.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return THistoryKey::Redo;
    if (event.key() == Qt::Key_Y && mods == Qt::ControlModifier) return THistoryKey::Redo;
    return THistoryKey::None;
}

}  // namespace

int TPhraseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::min<std::size_t>(Doc.PhraseCount(), INT_MAX));
}

QVariant TPhraseModel::data(const QModelIndex& index, int role) const {
    const auto row = std::size_t(index.row());
    if (!index.isValid() || row >= Doc.PhraseCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return FromText(Doc.Text(row));
        case KindRole:
            return int(Doc.Kind(row));
        default:
            return {};
    }
}

void TPhraseModel::Reset() {
    beginResetModel();
    endResetModel();
}

void TPhraseModel::RowChanged(int row) {
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void TPhraseModel::AllRowsChanged() {
    if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1));
}

void TPhraseDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
    const int kind =
        std::clamp(index.data(TPhraseModel::KindRole).toInt(), 0, int(ImageList.size()) - 1);
    painter->drawPixmap(r.left() + 2, r.top(), ImageList[std::size_t(kind)]);
    painter->setFont(option.font);
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : option.palette.color(QPalette::Text));
    painter->drawText(QRect(r.left() + 18, r.top(), std::max(0, r.width() - 18), r.height()),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = r;
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QWidget* w = option.widget;
        (w ? w->style() : QApplication::style())
            ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, w);
    }
}

QSize TPhraseDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), 13);
}

TEntryEdit::TEntryEdit(QWidget* parent) : QLineEdit(parent) {
    // The selection looks the same while another window, a message box say, is active.
    QPalette pal = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        Guarded([this, &text] {
            const QString fit = EntryText(text);
            if (fit == text) return;
            const int cursor = cursorPosition();
            setText(fit);
            setCursorPosition(std::min<int>(cursor, int(fit.size())));
        });
    });
}

bool TEntryEdit::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (const THistoryKey history = HistoryKeyOf(*key); history != THistoryKey::None) {
            if (type == QEvent::KeyPress && UndoRedo) UndoRedo(history == THistoryKey::Redo);
            event->accept();
            return true;
        }
        if (type == QEvent::KeyPress && KeyDown && KeyDown(key->key(), key->modifiers())) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TEntryEdit::focusOutEvent(QFocusEvent* event) {
    // QLineEdit drops its selection when another control takes the focus.
    const int start = selectionStart();
    const int length = int(selectedText().size());
    const int cursor = cursorPosition();
    QLineEdit::focusOutEvent(event);
    if (start < 0 || hasSelectedText()) return;
    if (cursor == start)
        setSelection(start + length, -length);
    else
        setSelection(start, length);
}

TPhraseList::TPhraseList(const TDocument& doc, const TKindImages& images,
                         QWidget* parent)
    : QListView(parent), Model(new TPhraseModel(doc, this)) {
    setModel(Model);
    setItemDelegate(new TPhraseDelegate(images, this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
}

void TPhraseList::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && !selectionModel()->hasSelection()) selectionModel()->clearCurrentIndex();
}

}  // namespace quillfen
