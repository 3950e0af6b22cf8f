#pragma once

// The checks' findings in the window: the marks of the phrase list's rows (which TPhraseModel
// gives as FindingRole), the finding's text under the entry for the current phrase, the question
// asked once before a text with an error is kept, the menu items that go to the next or previous
// finding and dismiss the current phrase's, and the dismissals kept in the user's memory. What is
// found, and which rows "with findings" shows, is the page session's.

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "session/pagesession.h"
#include "settings/language.h"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace quillfen {

class TPhraseModel;
class TUserDismissals;

class TFindingsView : public QObject {
  public:
    // Checks session's page from now on, its dismissals kept in the user's memory.
    TFindingsView(TPageSession& session, TPhraseModel* model, QWidget* parent);
    ~TFindingsView() override;

    // Under the entry: the current phrase's findings ("FindingsLabel"); the window places it.
    QLabel* Label = nullptr;
    // "mNextFinding" (F4), "mPreviousFinding" (Shift+F4), "mDismissFindings" (Ctrl+Shift+F4);
    // F9 is the entry's key for a missing placeholder, F8 Combine's, F3 find's.
    QAction* NextAction = nullptr;
    QAction* PreviousAction = nullptr;
    QAction* DismissAction = nullptr;
    // The window's: its current row (-1: none) and the move to a row, as a click on it.
    std::function<int()> CurrentRow;
    std::function<void(int)> GoTo;

    // Adds the items to menu, behind a separator.
    void AddTo(QMenu* menu);
    void ApplyLanguage(TLanguage language);
    // The translation's language (a tag, empty: not known), whose conventions the checks then
    // expect; the marks are drawn anew.
    void SetTargetLanguage(const QString& tag);
    // After anything that may have changed the findings, with row current: the rows whose marks
    // changed are drawn anew and row's findings are shown.
    void Show(int row);
    // Before Ok keeps cleaned as row's text: true when the text has an error the user was not
    // asked about for it, which is then shown with the question, and Ok stops there.
    bool AskBeforeKeeping(int row, std::string_view cleaned);
    // The menu's commands.
    void Next(bool forward);
    void DismissCurrent();

  private:
    TPageSession& Session;
    TPhraseModel* Model;
    TLanguage Language = TLanguage::English;
    std::unique_ptr<TUserDismissals> Dismissals;
    // The marks as drawn: phrase, its worst finding.
    std::map<std::size_t, TSeverity> Marked;
    void ShowFindings(const std::vector<TFinding>& findings, bool asking);
};

}  // namespace quillfen
