#include "options.h"

#include "settings/stringtable.h"

namespace quillfen {

TOptionsDlg::TOptionsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("OptionsDlg");
    setFixedSize(327, 171);
}

void TOptionsDlg::ApplyLanguage(std::uint16_t language) { setWindowTitle(LoadStr(language + 30)); }

}  // namespace quillfen
