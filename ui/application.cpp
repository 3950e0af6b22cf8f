#include "ui/application.h"

#include <QMessageBox>

#include <exception>

namespace quillfen {

namespace {

TErrorBox& ErrorBox() {
    static TErrorBox box;
    return box;
}

}  // namespace

void SetErrorBox(TErrorBox box) { ErrorBox() = std::move(box); }

void ShowError(const QString& text) {
    if (ErrorBox()) {
        ErrorBox()(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          text);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Quillfen");
    setApplicationDisplayName("Quillfen");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        // Error texts are UTF-8; file names inside them are the bytes of the file system.
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
    return false;
}

}  // namespace quillfen
