#include "ui/filedialogs.h"

#include <QFileDialog>

#include "ui/texts.h"

namespace quillfen {

namespace {

QString Ask(QFileDialog& dlg, const QString& filter, const QString& current) {
    dlg.setNameFilter(filter);
    if (!current.isEmpty()) dlg.selectFile(current);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    return dlg.selectedFiles().first();
}

}  // namespace

QString ChoosePageToOpen(QWidget* parent, const QString& filter, const QString& current) {
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::ReadOnly, false);
    return Ask(dlg, filter, current);
}

std::unique_ptr<QFileDialog> TranslationDialog(QWidget* parent, const QString& title,
                                               const QString& filter, const QString& folder) {
    auto dlg = std::make_unique<QFileDialog>(parent, title, folder);
    dlg->setAcceptMode(QFileDialog::AcceptOpen);
    dlg->setFileMode(QFileDialog::ExistingFile);
    dlg->setNameFilter(filter);
    return dlg;
}

QString ChooseTranslationFile(QWidget* parent, const QString& title, const QString& filter,
                              const QString& folder) {
    const std::unique_ptr<QFileDialog> dlg = TranslationDialog(parent, title, filter, folder);
    if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty()) return QString();
    return dlg->selectedFiles().first();
}

QString ChoosePath(QWidget* parent, TPathKind kind, const QString& filter, const QString& current) {
    if (kind == TPathKind::Folder)
        return QFileDialog::getExistingDirectory(parent, QString(), current);
    QFileDialog dlg(parent);
    if (kind == TPathKind::SaveFile) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        // The recombination itself replaces the file; the wizard asks nothing more.
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    return Ask(dlg, QtFileFilter(filter), current);
}

}  // namespace quillfen
