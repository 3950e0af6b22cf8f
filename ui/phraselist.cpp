#include "ui/phraselist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "ui/application.h"
#include "ui/codec.h"
#include "ui/texts.h"

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
        case ReadTextRole:
            return FromText(Doc.Spans()[row].Source == TSource::Sentence
                                ? TextWithoutPlaceholders(Doc.Text(row))
                                : std::string(Doc.Text(row)));
        case KindRole:
            return int(Doc.Kind(row));
        case DraftRole:
            return Session.Draft(row) != nullptr;
        case DraftTextRole: {
            const std::string* draft = Session.Draft(row);
            return draft ? FromText(*draft) : QString();
        }
        case ChangedRole:
            return Session.IsReplaced(row);
        case Qt::ToolTipRole: {
            const std::optional<std::string> source = Session.Source(row);
            return source ? FillIn(SourceFormat, FromText(*source)) : QVariant();
        }
        case SourceRole: {
            const std::optional<std::string> source = Session.Source(row);
            return source ? FromText(*source) : QVariant();
        }
        case InFilterRole:
            return InFilter(index.row());
        case FindingRole: {
            const std::optional<TSeverity> worst = Session.WorstFinding(row);
            return !worst ? 0 : *worst == TSeverity::Error ? 2 : 1;
        }
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
    // A changed phrase: a bar in front of its tile.
    if (index.data(TPhraseModel::ChangedRole).toBool())
        painter->fillRect(QRect(r.left(), r.top(), 2, r.height()), QColor(0, 140, 60));
    const int kind =
        std::clamp(index.data(TPhraseModel::KindRole).toInt(), 0, int(ImageList.size()) - 1);
    painter->drawPixmap(r.left() + 2, r.top(), ImageList[std::size_t(kind)]);
    QFont font = option.font;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    // The phrase's number at the right, as Go to and the command line count.
    const QString number = QString::number(index.row() + 1);
    const int numberWidth = QFontMetrics(font).horizontalAdvance(number) + 6;
    painter->setFont(font);
    painter->setPen(selected ? text : option.palette.color(QPalette::Disabled, QPalette::Text));
    painter->drawText(QRect(r.right() - numberWidth, r.top(), numberWidth - 2, r.height()),
                      Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, number);
    // A finding before the number: an error a red disc, a warning an amber ring, told apart by
    // their shape as well as their colour.
    const int finding = index.data(TPhraseModel::FindingRole).toInt();
    const int markWidth = finding != 0 ? 10 : 0;
    if (finding != 0) {
        const QRect mark(r.right() - numberWidth - 9, r.top() + 3, 7, 7);
        painter->setRenderHint(QPainter::Antialiasing);
        if (finding == 2) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor(200, 0, 0));
        } else {
            painter->setPen(QPen(QColor(215, 140, 0), 2));
            painter->setBrush(Qt::NoBrush);
        }
        painter->drawEllipse(mark);
        painter->setRenderHint(QPainter::Antialiasing, false);
    }
    // A draft shows instead of the text, slanted; a row the filter leaves out is greyed.
    QString shown = index.data(TPhraseModel::DraftTextRole).toString();
    if (!shown.isEmpty()) {
        font.setItalic(true);
        shown = QStringLiteral("\u270E ") + shown;
    } else {
        shown = index.data(Qt::DisplayRole).toString();
    }
    painter->setFont(font);
    const QColor quiet = option.palette.color(QPalette::Disabled, QPalette::Text);
    painter->setPen(selected || index.data(TPhraseModel::InFilterRole).toBool() ? text : quiet);
    int width = std::max(0, r.width() - 18 - numberWidth - markWidth);
    // A replaced phrase: its source beside it, in the right half, as the translator checks it.
    const QVariant source = index.data(TPhraseModel::SourceRole);
    if (source.isValid()) {
        const int half = width / 2;
        painter->save();
        font.setItalic(false);
        painter->setFont(font);
        painter->setPen(selected ? text : quiet);
        painter->drawLine(r.left() + 18 + half, r.top() + 1, r.left() + 18 + half, r.bottom() - 1);
        painter->drawText(QRect(r.left() + 18 + half + 4, r.top(), width - half - 4, r.height()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, source.toString());
        painter->restore();
        width = half - 4;
    }
    painter->drawText(QRect(r.left() + 18, r.top(), width, r.height()),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
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

TPhraseList::TPhraseList(const TPageSession& session, const TKindImages& images, QWidget* parent)
    : QListView(parent), Model(new TPhraseModel(session, this)) {
    setModel(Model);
    setItemDelegate(new TPhraseDelegate(images, this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    // Rows the filter leaves out are hidden, each keeping its place and number; a row that
    // leaves the filter when it changes goes at once.
    connect(Model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                for (int row = first.row(); row <= last.row(); ++row)
                    if (isRowHidden(row) == Model->InFilter(row))
                        setRowHidden(row, !Model->InFilter(row));
            });
    connect(Model, &QAbstractItemModel::modelReset, this, [this] {
        for (int row = 0; row < Model->rowCount(); ++row)
            if (!Model->InFilter(row)) setRowHidden(row, true);
    });
}

void TPhraseList::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && !selectionModel()->hasSelection()) selectionModel()->clearCurrentIndex();
}

}  // namespace quillfen
