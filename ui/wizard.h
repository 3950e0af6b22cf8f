#pragma once

#include <QDialog>

#include <cstdint>

namespace quillfen {

// The export/import wizard. Only its frame exists yet: its pages come with the wizard work.
class TWizardDlg : public QDialog {
public:
    explicit TWizardDlg(QWidget* parent = nullptr);
    // Sets every language-dependent text from the string table at base language.
    void ApplyLanguage(std::uint16_t language);
};

}  // namespace quillfen
