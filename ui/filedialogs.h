#pragma once

// The standard file dialogs behind the windows' seams (TForm1::ChooseFileToOpen,
// TWizardDlg::ChooseFile), where tests answer instead.

#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

namespace quillfen {

enum class TPathKind { Folder, OpenFile, SaveFile };

// The page to open; filter in Qt form. Any name may be typed: one that cannot be read is
// reported by the loading. Empty when cancelled.
QString ChoosePageToOpen(QWidget* parent, const QString& filter, const QString& current);

// A folder, an existing file to read, or a file to write; filter is "description|patterns",
// unused for a folder. Empty when cancelled.
QString ChoosePath(QWidget* parent, TPathKind kind, const QString& filter, const QString& current);

// The dialog that asks for a translation file to merge: titled as the command, opening in the
// page's folder, taking only a file that exists.
std::unique_ptr<QFileDialog> TranslationDialog(QWidget* parent, const QString& title,
                                               const QString& filter, const QString& folder);
// Shows it; the chosen file, empty when cancelled.
QString ChooseTranslationFile(QWidget* parent, const QString& title, const QString& filter,
                              const QString& folder);

}  // namespace quillfen
