#pragma once

#include <QDialog>

#include <cstdint>

namespace quillfen {

// The Options dialog. Only its frame exists yet: the check boxes and the shortcut button
// come with the Options work.
class TOptionsDlg : public QDialog {
public:
    explicit TOptionsDlg(QWidget* parent = nullptr);
    // Sets every language-dependent text from the string table at base language.
    void ApplyLanguage(std::uint16_t language);
};

}  // namespace quillfen
