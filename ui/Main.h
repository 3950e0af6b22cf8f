#pragma once

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/document.h"
#include "settings/settings.h"

class QAction;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWebEngineView;

namespace quillfen {

class TOptionsDlg;
class TWizardDlg;

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
    TPhraseDelegate(const std::array<QPixmap, 3>& images, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), ImageList(images) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    const std::array<QPixmap, 3>& ImageList;
};

// The entry field. Pasted line breaks become blanks as soon as they arrive.
class TEntryEdit : public QLineEdit {
  public:
    explicit TEntryEdit(QWidget* parent = nullptr);
};

// The three kind tiles: T (plain text), G (image alternative text), C (header content).
std::array<QPixmap, 3> MakeKindImages();
// "HTML-Files|*.HTML;*.HTM" in the form of a Qt file dialog filter.
QString QtFileFilter(const QString& filter);
// A count format such as "%d words" with the number in place of "%d".
QString FormatCount(const QString& format, std::uint64_t n);

class TForm1 : public QMainWindow {
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- seams -----------------------------------------------------------------------------
    // Asks for the page to open: (filter in Qt form, current document path) -> chosen path,
    // empty when cancelled.
    std::function<QString(const QString& filter, const QString& current)> ChooseFileToOpen;
    // Where the settings are read at the first activation and written at close.
    TSettingsStore SettingsStore;

    // --- state ------------------------------------------------------------------------------
    std::uint16_t Language = 0;
    std::uint8_t Tags = 0;
    std::array<QString, 5> History;
    std::uint8_t PageBeforeHelp = 0;
    QString AppTitle;
    QString BlocksFormat, FilteredFormat, WordsFormat;
    QString OpenFilter;  // "HTML-Files|*.HTML;*.HTM"
    // The current document path (the file name of the open dialog).
    QString FileName;
    TDocument Doc;
    TOptionsDlg* OptionsDlg = nullptr;  // created after the main window, by the program start
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
    QLabel* TextLabel = nullptr;
    TEntryEdit* Edit1 = nullptr;
    QListView* TextBox = nullptr;
    TPhraseModel* TextBoxModel = nullptr;
    QPushButton* OkBtn = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Item1 = nullptr;
    QLabel* Item2 = nullptr;
    QLabel* Item3 = nullptr;
    QLabel* EncodingLabel = nullptr;
    QWidget* ProgressPanel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QWebEngineView* Browser = nullptr;
    // Help page
    QPlainTextEdit* Help_US = nullptr;
    QPlainTextEdit* Help_DE = nullptr;
    QPushButton* CloseHelpBtn = nullptr;
    // Menus
    QMenu* mFile = nullptr;
    QAction* mLoad = nullptr;
    QAction* mClose = nullptr;
    QAction* N1 = nullptr;
    QAction* mExport = nullptr;
    QAction* mImport = nullptr;
    QAction* HistorySeparator = nullptr;
    std::array<QAction*, 5> HistoryItems{};
    QAction* N3 = nullptr;
    QAction* mExit = nullptr;
    QMenu* mEdit = nullptr;
    QAction* mUndo = nullptr;
    QAction* mRedo = nullptr;
    QAction* N5 = nullptr;
    QAction* mRevert = nullptr;
    QMenu* mLanguage = nullptr;
    QAction* mEnglish = nullptr;
    QAction* mDeutsch = nullptr;
    QMenu* mExtra = nullptr;
    QAction* mHelp = nullptr;
    QAction* mOptions = nullptr;
    QAction* N4 = nullptr;
    QAction* Info1 = nullptr;
    std::array<QPixmap, 3> ImageList;

    // --- operations -------------------------------------------------------------------------
    void FormActivate();  // runs once, at the first showing
    void FormClose();
    void ApplyLanguage();
    void RefreshHistoryMenu();
    void LoadFile();
    void Save();
    void Preview();
    void UpdateLegend();
    // Undo, Redo and Revert offered only while the open page has something for them.
    void UpdateEditMenu();
    int SelectedRow() const;
    // The last save of the open page failed: its row holds text the file does not.
    bool SaveFailed() const { return saveFailed_; }

    // --- handlers ---------------------------------------------------------------------------
    void mLoadClick();
    void LoadHFile(QAction* sender);
    void mCloseClick();
    void mExitClick();
    void mHelpClick();
    void CloseHelpBtnClick();
    void Info1Click();
    void mEnglishClick();
    void mDeutschClick();
    void mOptionsClick();
    void mExportClick();
    void mImportClick();
    void mUndoClick();
    void mRedoClick();
    void mRevertClick();
    void TextBoxClick();
    void OkBtnClick();
    // Enter, Up and Down; any modifier is ignored. The field still receives the key.
    void Edit1KeyDown(int key);

    bool Activated() const { return activated_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildStartPage();
    void BuildTranslatePage();
    void BuildHelpPage();
    void BuildMenus();
    void SelectRowQuietly(int row);
    QString RowString(int row) const;
    void ShowRowInEntry(int row);
    // The page's path in a text from the string table, where it stands as "%s".
    QString Message(int id, const QString& path) const;
    bool Ask(int id, const QString& path, bool yesByDefault);
    // Whether another program has changed the page since it was read or saved; then nothing
    // may be written, and the user may reload it. After a reload the row keeps its number and
    // the entry gets `entry` (the row's text if none), unconfirmed.
    bool ChangedElsewhere(int row, const std::optional<QString>& entry);
    // Asks before a command drops text whose save failed; false: the command stops.
    bool MayDropUnsaved();
    // After Undo or Redo changed phrase i: the row, the entry, the file, the preview.
    void ShowHistoryStep(std::size_t i);
    // Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y in the entry field.
    void EntryUndoRedo(bool redo);
    void OnProgress(std::size_t position, std::size_t maximum);

    bool activated_ = false;
    bool closed_ = false;
    bool quietSelection_ = false;
    bool saveFailed_ = false;
    QElapsedTimer progressClock_;
    qint64 lastProgressPaint_ = -1;
};

}  // namespace quillfen
