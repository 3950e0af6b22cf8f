#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/document/document.h"
#include "exchange/formats.h"
#include "project/session.h"
#include "session/pagesession.h"
#include "settings/recentfiles.h"
#include "settings/settings.h"
#include "ui/phraselist.h"
#include "ui/progress.h"

class QAction;
class QBoxLayout;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QWebEngineView;

namespace quillfen {

class TFindBar;
class TMatchesPane;
class TFindingsView;
class TOptionsDlg;
class TPreview;
class TProjectPane;
class TWizardDlg;

class TForm1 : public QMainWindow {
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- seams -----------------------------------------------------------------------------
    // Asks for the page to open: (filter in Qt form, current document path) -> chosen path,
    // empty when cancelled.
    std::function<QString(const QString& filter, const QString& current)> ChooseFileToOpen;
    // Asks for the translation file to merge into the open page: (filter in Qt form, folder to
    // start in) -> chosen path, empty when cancelled.
    std::function<QString(const QString& filter, const QString& current)> ChooseTranslation;
    // The format that merges the file at path (a native path), or nullptr; the registry's by
    // default.
    std::function<const TExchangeFormat*(std::string_view path)> TranslationFormatOf;
    // Where the settings are read at the first activation and written at close.
    TSettingsStore SettingsStore;

    // --- what the program, its tests and its benchmark may ask and do ----------------------
    // The window's controls are reached by their design names, which each carries as its object
    // name ("Edit1", "TextBox", "mLoad", ...); its state is its own.
    // Opens a page as File, Open does once it is chosen: the question about text whose save
    // failed, the load, and the recent files. For a page named on the command line or dropped.
    // False when it did not open.
    bool OpenPage(const QString& path);
    // The current document path: the page open or last tried.
    const QString& DocumentPath() const { return FileName; }
    const TDocument& Document() const { return Session.Document(); }
    const TRecentFiles& RecentFiles() const { return History; }
    // The kinds of phrases a page is read for.
    TTags ExtractedKinds() const { return Tags; }
    // Whether a page is open: the commands that need one are offered only then.
    bool DocumentOpen() const { return Session.IsOpen(); }
    // The last save of the open page failed: its row holds text the file does not.
    bool SaveFailed() const { return Session.SaveFailed(); }
    // Text typed and not confirmed: in the entry, or kept with a row the selection left.
    bool HasDrafts() const;
    int SelectedRow() const;
    // How many rows the phrase list shows at once.
    int VisibleRows() const;
    bool Activated() const { return activated_; }

    // --- handlers ---------------------------------------------------------------------------
    void mLoadClick();
    void LoadHFile(QAction* sender);
    void mCloseClick();
    void mExitClick();
    void mHelpClick();
    void CloseHelpBtnClick();
    void Info1Click();
    void mOptionsClick();
    void mExportClick();
    void mImportClick();
    // Merges a translation tool's file into the open page as one step of its history.
    void mMergeClick();
    // A site project (ui/projectcommands.cpp): File, Open project; File, Open with source page;
    // Project, Update.
    void mOpenProjectClick();
    void mOpenWithSourceClick();
    void mProjectUpdateClick();
    // Opens the project file at path and shows its pages; false when it cannot be read.
    bool OpenProjectFile(const QString& path);
    // Whether an update of the project runs.
    bool ProjectUpdating() const;
    void mUndoClick();
    void mRedoClick();
    void mRevertClick();
    void mFindClick();
    void mGoToClick();
    // F3 (Shift+F3: back) from anywhere: the next match of what the find field holds, or the
    // field itself when it holds nothing.
    void FindOn(bool back);
    void TextBoxClick();
    void OkBtnClick();
    // Enter, Up and Down, any modifier ignored, and the field still receives them; PageUp,
    // PageDown, Ctrl+Home and Ctrl+End move like Up and Down and are kept from the field (true).
    bool Edit1KeyDown(int key, Qt::KeyboardModifiers shift = Qt::NoModifier);

  protected:
    void showEvent(QShowEvent* event) override;
    // Tab and Shift+Tab pass over the preview: inside it, Tab walks the page's links and never
    // comes back. A click still reaches it.
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend std::unique_ptr<TForm1> CreateMainWindow();

    // --- state ------------------------------------------------------------------------------
    TLanguage Language = TLanguage::English;
    TTags Tags = TTags::None;
    TUnits Units = TUnits::Runs;  // what a phrase is
    TRecentFiles History;
    std::uint8_t PageBeforeHelp = 0;
    QString AppTitle = QStringLiteral("Quillfen");
    QString BlocksFormat, FilteredFormat, WordsFormat;
    QString OpenFilter;  // "HTML-Files|*.HTML;*.HTM"
    // The current document path (the file name of the open dialog).
    QString FileName;
    // The open page and the rules of working on it; the window shows what it reports.
    // The record of the sources of replaced phrases across sessions, where the build has one;
    // declared before the session, which is told of it and must not outlive it.
    std::unique_ptr<TSourceRecord> SourceRecord;
    // The project open, if any; the project page open, or the translated page opened with its
    // source page: each the session's record of sources while its page is open.
    std::unique_ptr<project::TProject> Project;
    std::unique_ptr<project::TProjectPage> ProjectPage;
    std::unique_ptr<project::TPairedSources> PairedPage;
    std::unique_ptr<TReplacementObserver> ProjectProgress;
    struct TProjectRun;
    std::shared_ptr<TProjectRun> ProjectRun;
    TPageSession Session;
    const TDocument& Doc = Session.Document();
    // Children of the window, attached by CreateMainWindow.
    TOptionsDlg* OptionsDlg = nullptr;
    TWizardDlg* WizardDlg = nullptr;

    // --- controls ---------------------------------------------------------------------------
    QStackedWidget* Notebook = nullptr;
    // Start page
    QWidget* Panel3 = nullptr;
    QLabel* ProgLabel = nullptr;
    QLabel* VersionLabel = nullptr;
    QLabel* Image1 = nullptr;
    // Translate page
    QWidget* Panel1 = nullptr;
    QLabel* NoteLabel = nullptr;  // the page author's note for the translator of the current phrase
    QLabel* TextLabel = nullptr;
    TEntryEdit* Edit1 = nullptr;
    // The translation memory's matches of the current phrase, below the entry.
    TMatchesPane* MatchesPane = nullptr;
    // Which rows Enter, the page keys and find go to ("All phrases", "Unchanged", "Changed").
    QLabel* FilterLabel = nullptr;
    QComboBox* PhraseFilter = nullptr;
    // "Phrase n of m   k changed" in the status bar.
    QLabel* StatusLabel = nullptr;
    // Between the list (with the Ok button and the legend) and the preview.
    QSplitter* Splitter = nullptr;
    QListView* TextBox = nullptr;
    TPhraseModel* TextBoxModel = nullptr;
    QPushButton* OkBtn = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Item1 = nullptr;
    QLabel* Item2 = nullptr;
    QLabel* Item3 = nullptr;
    QLabel* EncodingLabel = nullptr;
    TProgressPanel* ProgressPanel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QWebEngineView* Browser = nullptr;
    // Shows the page as saved in Browser, with the selected phrase marked.
    TPreview* PreviewPane = nullptr;
    TFindBar* FindBar = nullptr;
    // The checks' findings: the rows' marks, the text under the entry, their menu items.
    TFindingsView* Findings = nullptr;
    // Help page: one text per language of the list, in its order ("Help_US", "Help_DE"); the
    // language's own shows.
    std::vector<QPlainTextEdit*> HelpMemos;
    QPushButton* CloseHelpBtn = nullptr;
    // A site project's pages beside the list, and under the entry a fuzzy draft's note.
    QDockWidget* ProjectDock = nullptr;
    TProjectPane* ProjectPane = nullptr;
    QLabel* DraftLabel = nullptr;
    // Menus
    QMenu* mFile = nullptr;
    QAction* mOpenProject = nullptr;
    QAction* mOpenWithSource = nullptr;
    QMenu* mProject = nullptr;
    QAction* mProjectUpdate = nullptr;
    QAction* mLoad = nullptr;
    QAction* mClose = nullptr;
    QAction* N1 = nullptr;
    QAction* mExport = nullptr;
    QAction* mImport = nullptr;
    QAction* mMerge = nullptr;
    QAction* HistorySeparator = nullptr;
    std::array<QAction*, TRecentFiles::Capacity> HistoryItems{};
    QAction* N3 = nullptr;
    QAction* mExit = nullptr;
    QMenu* mEdit = nullptr;
    QAction* mUndo = nullptr;
    QAction* mRedo = nullptr;
    QAction* N5 = nullptr;
    QAction* mRevert = nullptr;
    QAction* N6 = nullptr;
    QAction* mFind = nullptr;
    QAction* mGoTo = nullptr;
    // F3 and Shift+F3, which are in no menu.
    std::array<QAction*, 2> FindOnActions{};
    QMenu* mLanguage = nullptr;
    // One item per language of the list, in its order ("mEnglish", "mDeutsch").
    std::vector<QAction*> LanguageItems;
    QMenu* mExtra = nullptr;
    QAction* mHelp = nullptr;
    QAction* mOptions = nullptr;
    QAction* N4 = nullptr;
    QAction* Info1 = nullptr;
    TKindImages ImageList;

    // --- operations -------------------------------------------------------------------------
    void FormActivate();  // runs once, at the first showing
    void FormClose();
    void ApplyLanguage();
    void RefreshHistoryMenu();
    // Opens the page at path, which becomes FileName. A page that cannot be read is reported
    // here and leaves the open page, if any, open and untouched; false then.
    bool LoadFile(const QString& path);
    void Preview();
    void UpdateLegend();
    void SetDocumentOpen(bool open);
    // Undo, Redo and Revert offered only while the open page has something for them.
    void UpdateEditMenu();
    // An item of the Language menu.
    void LanguageClick(TLanguage language);

    void BuildStartPage();
    void BuildTranslatePage();
    void BuildHelpPage();
    // The Help page of the interface language: its text, then every key and kind as the menus
    // and the kinds' table have them now.
    void RefreshHelp();
    void BuildLegend(QWidget* parent);
    void BuildMenus();
    // A site project's parts of the window (ui/projectcommands.cpp): the draft's note below the
    // entry's labels in panel, the pages' dock, the menu items.
    void BuildProjectParts(QBoxLayout* panel);
    void BuildProjectMenus();
    void ApplyProjectLanguage();
    // Before the page at path (native) is adopted: the record of sources its session takes (the
    // project's page, the pairing with a source page, else the user's record), and the
    // project's memory for the matches.
    void PlugPageSources(const std::string& path);
    // After: a project page's fuzzy drafts become the session's drafts.
    void OfferProjectDrafts();
    // Under the entry: row's fuzzy draft, with its old source's differences to the new one.
    void ShowProjectDraft(int row);
    void ShowProjectStatus();
    // A menu item named name that runs command, guarded, when it is chosen or its key is pressed.
    QAction* AddCommand(QMenu* menu, const char* name, const QString& text,
                        void (TForm1::*command)(), const QKeySequence& key = {});
    void SelectRowQuietly(int row);
    QString RowString(int row) const;
    // Fills the entry with row's draft or text; what the entry held stays with its row as a
    // draft when it differs from the row's text.
    void ShowRowInEntry(int row);
    // The entry shows row's placeholders as tokens when it is a sentence; -1: none.
    void SetEntryPlaceholders(int row);
    // The note the page's author left for the translator of the phrase at row; none for -1.
    void ShowNote(int row);
    void KeepEntryAsDraft();
    bool EntryTyped() const;
    // Keeps text as row's draft; an empty text drops it.
    void SetDraft(int row, const QString& text);
    // The window's title names the open page, and no page when none is open.
    void UpdateCaption();
    void UpdateStatus();
    // Selects row as a click does, or, with the focus elsewhere (the find field), all but the
    // focus.
    void GoToRow(int row, bool focusEntry);
    // A text from the string table in the window's language, with value in place of "%s".
    QString Message(TStringId id, const QString& value) const;
    bool Ask(TStringId id, const QString& path, bool yesByDefault);
    // Whether another program has changed the page since it was read or saved; then nothing
    // may be written, and the user may reload it. After a reload the row keeps its number and
    // the entry gets `entry` (the row's text if none), unconfirmed.
    bool ChangedElsewhere(int row, const std::optional<QString>& entry);
    // Asks before a command drops drafts or text whose save failed; false: the command stops.
    // keptRow: a row whose draft the command keeps (-1: none, the entry's text counts).
    bool MayDropUnsaved(int keptRow = -1);
    // After Undo or Redo changed and wrote phrases: their rows, the first of them in the entry,
    // the preview changed in place.
    void ShowHistoryStep(const std::vector<std::size_t>& phrases);
    // After the phrases changed and the page was written: the Edit menu, the preview and the
    // word count.
    void ShowChange();
    // Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y in the entry field.
    void EntryUndoRedo(bool redo);
    // Whether a history step of these phrases may go ahead: one of many asks first.
    bool MayChangeAtOnce(const std::vector<std::size_t>& phrases);
    // Tells, once, what the memory or the record of sources failed to keep of the last step.
    void TellObserverFailure();

    bool activated_ = false;
    bool closed_ = false;
    bool quietSelection_ = false;
    bool splitterPlaced_ = false;
    // The row whose text or draft the entry holds, -1 for none.
    int entryRow_ = -1;
    // What the entry was given for that row: its draft or its text.
    QString entryGiven_;
    // The observer failure told last; the same one again is not told again.
    QString observerFailureTold_;
};

// The main window with the Options dialog and the wizard attached, as the program, the tests and
// the benchmark use it; its first showing needs both dialogs.
std::unique_ptr<TForm1> CreateMainWindow();

}  // namespace quillfen
