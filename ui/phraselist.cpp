#include "ui/phraselist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "ui/application.h"
#include "ui/codec.h"

namespace quillfen {

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
        case DraftRole:
            return drafts_.count(index.row()) != 0;
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

void TPhraseModel::SetDraft(int row, bool draft) {
    if (draft)
        drafts_.insert(row);
    else
        drafts_.erase(row);
    RowChanged(row);
}

void TPhraseModel::ClearDrafts() {
    if (drafts_.empty()) return;
    drafts_.clear();
    AllRowsChanged();
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
    const int kind = std::clamp(index.data(TPhraseModel::KindRole).toInt(), 0, 2);
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

TPhraseList::TPhraseList(const TDocument& doc, const std::array<QPixmap, 3>& images,
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
