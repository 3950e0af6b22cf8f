#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <functional>

#include "exchange/formats.h"
#include "settings/language.h"
#include "ui/filedialogs.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace quillfen {

// A path field with a browse button at its end. The field's text is the path the wizard uses;
// a path chosen through the button replaces it as the plain full path, blanks and all.
class TFileEdit : public QLineEdit {
  public:
    using TKind = TPathKind;

    // filter is "description|patterns", unused for a folder.
    TFileEdit(TKind kind, const QString& filter, QWidget* parent = nullptr);

    // Asks for a path, starting from current; an empty result leaves the field alone.
    std::function<QString(TKind kind, const QString& filter, const QString& current)> Choose;

    TKind Kind;
    QString Filter;
    QAction* Browse = nullptr;

    void BrowseClick();
};

// The export/import wizard. The main window sets ExportMode and shows it modally; in export
// mode it only collects the output folder, in import mode it recombines a text file and a
// template into a new page before it closes.
class TWizardDlg : public QDialog {
  public:
    explicit TWizardDlg(QWidget* parent = nullptr);
    // Sets every language-dependent text from the string table. The button captions go to the
    // caption fields; the buttons take them when the dialog opens or its page changes.
    void ApplyLanguage(TLanguage language);

    // --- seams -----------------------------------------------------------------------------
    // Asks for a folder or file on behalf of one of the path fields (the standard dialogs by
    // default); tests answer here.
    std::function<QString(TFileEdit::TKind kind, const QString& filter, const QString& current)>
        ChooseFile;

    // --- state ------------------------------------------------------------------------------
    bool ExportMode = true;
    QString NextCaption = "Next >";
    QString BackCaption = "< Back";
    QString FinishCaption = "Finish !";
    QString CancelCaption = "Cancel";
    // The title of the current language, without the mode word.
    QString DialogTitle = "Wizard";
    // The mode words: the heading of the left strip, and the start of the title.
    QString ExportHeading = "Export";
    QString ImportHeading = "Import";
    // The page an export is of, as the window names it; the last page of the export names the
    // files it writes.
    QString PagePath;
    // The last page's notice for a text file and template, and for a translation file (%s: its
    // name).
    QString ExportNotice, TranslationNotice;
    // The files an export as chosen writes, in the order it writes them.
    QStringList ExportFiles() const;

    // --- controls ---------------------------------------------------------------------------
    QLabel* Image1 = nullptr;
    QLabel* wizHeading = nullptr;
    QStackedWidget* Notebook = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* BackBtn = nullptr;
    QPushButton* FinishBtn = nullptr;
    // Export1
    QLabel* wizLabel0 = nullptr;
    QLabel* wizOutputLabel = nullptr;
    TFileEdit* wizOutput = nullptr;
    // The exchange formats, as the registry lists them: name and summary; the item's data is the
    // name.
    QLabel* wizFormatLabel = nullptr;
    QComboBox* wizFormat = nullptr;
    // Export2
    QLabel* wizLabel1 = nullptr;
    // Import1
    QLabel* wizLabel2 = nullptr;
    QLabel* wizTextLabel = nullptr;
    QLabel* wizTempLabel = nullptr;
    TFileEdit* wizText = nullptr;
    TFileEdit* wizTemplate = nullptr;
    // Import2
    QLabel* wizLabel3 = nullptr;
    QLabel* wizHTMLLabel = nullptr;
    TFileEdit* wizDestination = nullptr;
    // Import3
    QLabel* wizLabel4 = nullptr;
    QCheckBox* wizLoadFile = nullptr;

    // --- handlers ---------------------------------------------------------------------------
    void FormActivate();  // each time the dialog opens
    void FinishBtnClick();
    void BackBtnClick();
    void wizOutputChange();
    void wizTextChange();
    void wizTemplateChange();
    void wizDestinationChange();
    // The format chosen for the export; the default one if the list has none chosen.
    const TExchangeFormat& ExportFormat() const;
    // Chooses the format of that name; another name leaves the choice as it is.
    void SetExportFormat(const QString& name);
    // The recombination of page 3; raises what the recombination raises.
    void Combine();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quillfen
