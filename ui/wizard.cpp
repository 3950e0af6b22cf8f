#include "wizard.h"

#include "settings/stringtable.h"

namespace quillfen {

TWizardDlg::TWizardDlg(QWidget* parent) : QDialog(parent) { setObjectName("WizardDlg"); }

void TWizardDlg::ApplyLanguage(std::uint16_t language) { setWindowTitle(LoadStr(language + 41)); }

}  // namespace quillfen
