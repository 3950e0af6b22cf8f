#pragma once

// A site project's pages beside the phrase list: the tree of the site's target pages, each with
// its progress (translated of all phrases, and its fuzzy drafts), and a filter that keeps only
// the pages still to finish. Choosing a page asks the window to open it.

#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "project/exchange.h"
#include "settings/language.h"

class QCheckBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillfen {

class TProjectPane : public QWidget {
  public:
    TProjectPane(const TLanguage& language, QWidget* parent);

    // The pages of status, in a tree of their folders; the page chosen stays chosen.
    void Show(const project::TProjectStatus& status);
    // One page's counts, after a step written in it.
    void SetCounts(const std::string& page, const project::TPageCounts& counts);
    // Marks page as the one open (none: empty).
    void SetCurrent(const std::string& page);
    // A line under the tree: how the last update went.
    void SetNote(const QString& text);
    void ApplyLanguage();

    // The page (relative to the target folder) the user chose, by a double click or Enter.
    std::function<void(const std::string& page)> PageChosen;

    // What the tree shows of page: "12/40" (translated of all), with ", 3 fuzzy"; empty for a
    // page it does not hold or hides.
    QString ProgressOf(const std::string& page) const;
    bool UnfinishedOnly() const;
    void SetUnfinishedOnly(bool only);

  private:
    const TLanguage& language_;
    QTreeWidget* tree_ = nullptr;
    QCheckBox* unfinished_ = nullptr;
    QLabel* note_ = nullptr;
    std::map<std::string, QTreeWidgetItem*> items_;
    std::map<std::string, project::TPageCounts> counts_;
    std::map<std::string, bool> orphaned_;

    QTreeWidgetItem* Folder(const QString& path);
    void ShowCounts(QTreeWidgetItem* item, const project::TPageCounts& counts);
    void Filter();
};

}  // namespace quillfen
