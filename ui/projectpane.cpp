#include "ui/projectpane.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "project/session.h"
#include "settings/stringtable.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/texts.h"

namespace quillfen {

namespace {

constexpr int kPageRole = Qt::UserRole;

}  // namespace

TProjectPane::TProjectPane(const TLanguage& language, QWidget* parent)
    : QWidget(parent), language_(language) {
    setObjectName("ProjectPane");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    unfinished_ = new QCheckBox(this);
    unfinished_->setObjectName("ProjectUnfinished");
    column->addWidget(unfinished_);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("ProjectPages");
    tree_->setColumnCount(2);
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    column->addWidget(tree_, 1);
    note_ = new QLabel(this);
    note_->setObjectName("ProjectNote");
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->hide();
    column->addWidget(note_);

    connect(unfinished_, &QCheckBox::toggled, this, Guard([this] { Filter(); }));
    // A double click, or Enter on a page, opens it.
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) noexcept {
        Guarded([&] {
            if (!item || !PageChosen) return;
            const QVariant page = item->data(0, kPageRole);
            if (page.isValid()) PageChosen(ToText(page.toString()));
        });
    });
    ApplyLanguage();
}

QTreeWidgetItem* TProjectPane::Folder(const QString& path) {
    const std::string key = ToText(path) + "/";
    if (auto it = items_.find(key); it != items_.end()) return it->second;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QTreeWidgetItem* item =
        slash < 0 ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(Folder(path.left(slash)));
    item->setText(0, path.mid(slash + 1));
    item->setExpanded(true);
    items_[key] = item;
    return item;
}

void TProjectPane::ShowCounts(QTreeWidgetItem* item, const project::TPageCounts& counts) {
    item->setText(1, QStringLiteral("%1/%2").arg(counts.Translated).arg(counts.Phrases) +
                         (counts.Fuzzy ? FillIn(LoadStr(language_, TStringId::ProjectFuzzyCount),
                                                QString::number(counts.Fuzzy))
                                       : QString()));
}

void TProjectPane::Show(const project::TProjectStatus& status) {
    QString chosen;
    if (QTreeWidgetItem* item = tree_->currentItem()) chosen = item->data(0, kPageRole).toString();
    tree_->clear();
    items_.clear();
    counts_.clear();
    orphaned_.clear();
    for (const project::TPageStatus& page : status.Pages) {
        const QString path = FromText(page.Path);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        QTreeWidgetItem* item =
            slash < 0 ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(Folder(path.left(slash)));
        item->setText(0, path.mid(slash + 1));
        item->setData(0, kPageRole, path);
        item->setToolTip(0, path);
        // A page the project has not made yet, or whose source is gone, cannot be opened.
        if (!page.Known || page.Orphaned) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        items_[page.Path] = item;
        counts_[page.Path] = page.Counts;
        orphaned_[page.Path] = page.Orphaned;
        ShowCounts(item, page.Counts);
        if (path == chosen) tree_->setCurrentItem(item);
    }
    Filter();
}

void TProjectPane::SetCounts(const std::string& page, const project::TPageCounts& counts) {
    auto it = items_.find(page);
    if (it == items_.end()) return;
    counts_[page] = counts;
    ShowCounts(it->second, counts);
    Filter();
}

void TProjectPane::SetCurrent(const std::string& page) {
    for (auto& [path, item] : items_) {
        QFont font = item->font(0);
        font.setBold(path == page);
        item->setFont(0, font);
    }
}

void TProjectPane::SetNote(const QString& text) {
    note_->setText(text);
    note_->setVisible(!text.isEmpty());
}

void TProjectPane::Filter() {
    const bool only = unfinished_->isChecked();
    // Pages first; then each folder shows while a page below it does (deepest folders first,
    // which the reverse order of their paths gives).
    for (const auto& [path, counts] : counts_)
        items_[path]->setHidden(only && (!project::IsUnfinished(counts) || orphaned_[path]));
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (!it->first.ends_with('/')) continue;
        bool shown = false;
        for (int k = 0; k < it->second->childCount() && !shown; ++k)
            shown = !it->second->child(k)->isHidden();
        it->second->setHidden(!shown);
    }
}

QString TProjectPane::ProgressOf(const std::string& page) const {
    auto it = items_.find(page);
    if (it == items_.end() || it->second->isHidden()) return {};
    return it->second->text(1);
}

bool TProjectPane::UnfinishedOnly() const { return unfinished_->isChecked(); }
void TProjectPane::SetUnfinishedOnly(bool only) { unfinished_->setChecked(only); }

void TProjectPane::ApplyLanguage() {
    unfinished_->setText(LoadStr(language_, TStringId::ProjectUnfinishedOnly));
    tree_->setHeaderLabels({LoadStr(language_, TStringId::ProjectPageColumn),
                            LoadStr(language_, TStringId::ProjectProgressColumn)});
    for (const auto& [path, counts] : counts_) ShowCounts(items_[path], counts);
}

}  // namespace quillfen
