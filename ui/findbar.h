#pragma once

// Finding a phrase on the Translate page: the find field under the phrase list, and the small
// dialog that asks for a phrase by its number.

#include <QWidget>
#include <functional>
#include <optional>

#include "settings/language.h"
#include "ui/finder.h"

class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QToolButton;

namespace quillfen {

// Typing finds the next phrase, from the selected one on, whose text (as its row shows it)
// contains what was typed; Enter and F3 go to the next match, Shift+Enter and Shift+F3 to the
// previous one, both round the ends; the field tells which match of how many is selected. Esc
// closes it. The texts are read from the list's model and follow its changes.
class TFindBar : public QWidget {
  public:
    TFindBar(const QAbstractItemModel* model, QWidget* parent);

    QLabel* FindLabel = nullptr;
    QLineEdit* FindEdit = nullptr;
    QLabel* FindCount = nullptr;
    QToolButton* CloseBtn = nullptr;

    // The row selected now, -1 for none.
    std::function<int()> CurrentRow;
    // A match to select as a click on its row would; the focus stays in the find field.
    std::function<void(int row)> Found;
    // Whether a row is one to find (the list's filter); none: every row.
    std::function<bool(int row)> Accepts;
    // The field has closed by Esc or its button.
    std::function<void()> Closed;

    // Shows the field with the focus in it and its text selected.
    void Open();
    void Close();
    // From the selected row itself (typing), or on to the next or previous match.
    enum class TStep { Here, Next, Previous };
    void Find(TStep step);
    bool NoMatch() const { return noMatch_; }
    void ApplyLanguage(TLanguage language);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowCount(int row);
    // The matches of query that Accepts takes, in page order.
    std::vector<int> Hits(const QString& query);
    const TPhraseFinder& Finder();

    const QAbstractItemModel* model_;
    TPhraseFinder finder_;
    // The finder waits for the texts until the first find after a page has loaded.
    bool stale_ = true;
    bool noMatch_ = false;
    TLanguage language_ = TLanguage::English;
    QPalette normal_;
};

// Asks for a phrase by its number, 1 to count, offering current; empty when cancelled.
std::optional<int> AskPhraseNumber(QWidget* parent, TLanguage language, int current, int count);

}  // namespace quillfen
