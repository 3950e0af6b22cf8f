#pragma once

#include <QDialog>
#include <array>

#include "core/markup/kinds.h"
#include "core/markup/sentences.h"
#include "core/tags.h"
#include "settings/language.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QGroupBox;
class QPushButton;

namespace quillfen {

// The Options dialog: the kinds of phrases the scan collects, and the Start-menu shortcut.
// It works on its own copy of the tag bits; the main window hands them in before showing it
// and takes them back after OK.
class TOptionsDlg : public QDialog {
  public:
    explicit TOptionsDlg(QWidget* parent = nullptr);
    // Sets every language-dependent text from the string table.
    void ApplyLanguage(TLanguage language);

    // The boxes change only their kinds' bits; the others are kept as they come.
    TTags Tags = TTags::Default;
    // Enter steps over phrases without a letter or digit; handed in and taken back as Tags.
    bool SkipNoLetters = false;
    // Runs or sentences; handed in and taken back as Tags.
    TUnits Units = TUnits::Runs;

    QGroupBox* GroupBox1 = nullptr;
    // A check box for each kind, in the order of TKind, named as the kind's entry says
    // ("plaintext", "imgalt", "content").
    std::array<QCheckBox*, kKindCount> KindBoxes{};
    QGroupBox* GroupBox2 = nullptr;
    QPushButton* CreateLinkBtn = nullptr;
    QCheckBox* SkipBox = nullptr;
    QLabel* UnitsLabel = nullptr;
    QComboBox* UnitsBox = nullptr;  // text between tags, or sentences
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void FormActivate();  // each time the dialog is shown
    void OKBtnClick();
    void CreateLinkBtnClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FitTexts();
};

}  // namespace quillfen
