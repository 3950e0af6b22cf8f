#include "ui/findbar.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "settings/stringtable.h"
#include "ui/application.h"
#include "ui/phraselist.h"
#include "ui/texts.h"

namespace quillfen {

namespace {

// Beyond this many rows changed at once, reading them all again on the next find is quicker.
constexpr int kRowsUpdatedInPlace = 64;

}  // namespace

TFindBar::TFindBar(const QAbstractItemModel* model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName("FindBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 2);
    row->setSpacing(6);
    FindLabel = new QLabel(this);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName("FindEdit");
    FindEdit->setClearButtonEnabled(true);
    FindLabel->setBuddy(FindEdit);
    FindCount = new QLabel(this);
    FindCount->setObjectName("FindCount");
    FindCount->setMinimumWidth(120);
    CloseBtn = new QToolButton(this);
    CloseBtn->setAutoRaise(true);
    CloseBtn->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    row->addWidget(FindLabel);
    row->addWidget(FindEdit, 1);
    row->addWidget(FindCount);
    row->addWidget(CloseBtn);
    normal_ = FindEdit->palette();
    FindEdit->installEventFilter(this);
    hide();

    connect(FindEdit, &QLineEdit::textEdited, this, Guard([this] { Find(TStep::Here); }));
    connect(CloseBtn, &QToolButton::clicked, this, Guard([this] {
                Close();
                if (Closed) Closed();
            }));
    connect(model_, &QAbstractItemModel::modelReset, this, Guard([this] { stale_ = true; }));
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                Guarded([this, a = first.row(), b = last.row()] {
                    if (stale_) return;
                    if (b - a >= kRowsUpdatedInPlace) {
                        stale_ = true;
                        return;
                    }
                    for (int r = a; r <= b; ++r)
                        finder_.SetText(
                            r, model_->index(r, 0).data(TPhraseModel::ReadTextRole).toString());
                });
            });
}

const TPhraseFinder& TFindBar::Finder() {
    if (stale_) {
        QStringList texts;
        const int n = model_->rowCount();
        texts.reserve(n);
        for (int r = 0; r < n; ++r)
            texts << model_->index(r, 0).data(TPhraseModel::ReadTextRole).toString();
        finder_.SetTexts(texts);
        stale_ = false;
    }
    return finder_;
}

void TFindBar::Open() {
    show();
    FindEdit->setFocus(Qt::ShortcutFocusReason);
    FindEdit->selectAll();
    if (!FindEdit->text().isEmpty()) ShowCount(CurrentRow ? CurrentRow() : -1);
}

void TFindBar::Close() { hide(); }

void TFindBar::Find(TStep step) {
    const QString query = FindEdit->text();
    const int current = CurrentRow ? CurrentRow() : -1;
    std::optional<int> row;
    const std::vector<int> hits = query.isEmpty() ? std::vector<int>{} : Hits(query);
    if (!hits.empty()) {
        // Typing keeps the selected phrase while it still matches; the others go round the ends.
        if (step == TStep::Previous) {
            const auto at = std::lower_bound(hits.begin(), hits.end(), current);
            row = at == hits.begin() ? hits.back() : *std::prev(at);
        } else {
            const auto at = step == TStep::Here
                                ? std::lower_bound(hits.begin(), hits.end(), current)
                                : std::upper_bound(hits.begin(), hits.end(), current);
            row = at == hits.end() ? hits.front() : *at;
        }
    }
    // Enter and F3 select their match again even when it is the selected row, as a click does;
    // typing leaves the selected row alone while it matches.
    if (row && (step != TStep::Here || *row != current) && Found) Found(*row);
    ShowCount(row ? *row : -1);
}

std::vector<int> TFindBar::Hits(const QString& query) {
    std::vector<int> matches = Finder().Matches(query);
    if (Accepts)
        matches.erase(std::remove_if(matches.begin(), matches.end(),
                                     [this](int row) { return !Accepts(row); }),
                      matches.end());
    return matches;
}

void TFindBar::ShowCount(int row) {
    const QString query = FindEdit->text();
    const std::vector<int> matches = query.isEmpty() ? std::vector<int>{} : Hits(query);
    noMatch_ = !query.isEmpty() && matches.empty();
    QPalette pal = normal_;
    if (noMatch_) pal.setColor(QPalette::Base, QColor(255, 214, 214));
    FindEdit->setPalette(pal);
    if (query.isEmpty()) {
        FindCount->clear();
    } else if (noMatch_) {
        FindCount->setText(LoadStr(language_, TStringId::FindNoMatch));
    } else {
        const auto at = std::lower_bound(matches.begin(), matches.end(), row);
        const std::uint64_t n = at != matches.end() && *at == row ? at - matches.begin() + 1 : 0;
        FindCount->setText(FormatCount(FormatCount(LoadStr(language_, TStringId::FindMatchOf), n),
                                       std::uint64_t(matches.size())));
    }
}

void TFindBar::ApplyLanguage(TLanguage language) {
    language_ = language;
    FindLabel->setText(LoadStr(language, TStringId::FindCaption));
    FindEdit->setToolTip(LoadStr(language, TStringId::FindHint));
    CloseBtn->setToolTip(LoadStr(language, TStringId::CloseButton));
    if (!FindEdit->text().isEmpty()) ShowCount(CurrentRow ? CurrentRow() : -1);
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FindEdit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool back = key->modifiers() & Qt::ShiftModifier;
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3:
            Guarded([this, back] { Find(back ? TStep::Previous : TStep::Next); });
            return true;
        case Qt::Key_Escape:
            Guarded([this] {
                Close();
                if (Closed) Closed();
            });
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

std::optional<int> AskPhraseNumber(QWidget* parent, TLanguage language, int current, int count) {
    QInputDialog dialog(parent);
    dialog.setObjectName("GoToDlg");
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setWindowTitle(LoadStr(language, TStringId::GoToTitle));
    dialog.setLabelText(
        FormatCount(LoadStr(language, TStringId::GoToPrompt), std::uint64_t(count)));
    dialog.setIntRange(1, count);
    dialog.setIntValue(std::clamp(current, 1, count));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(LoadStr(language, TStringId::Cancel));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.intValue();
}

}  // namespace quillfen
