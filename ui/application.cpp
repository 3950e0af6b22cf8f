#include "ui/application.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstring>
#include <exception>

#include "core/errors.h"

namespace quillfen {

namespace {

TErrorBox& ErrorBox() {
    static TErrorBox box;
    return box;
}

TLanguage& ErrorLanguage() {
    static TLanguage language = TLanguage::English;
    return language;
}

}  // namespace

void SetErrorLanguage(TLanguage language) { ErrorLanguage() = language; }

void SetErrorBox(TErrorBox box) { ErrorBox() = std::move(box); }

void ShowError(const QString& text) {
    if (ErrorBox()) {
        ErrorBox()(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          text);
}

QString ErrorText(const std::exception& error) {
    // Error texts are UTF-8; file names inside them are the bytes of the file system.
    const auto* e = dynamic_cast<const TError*>(&error);
    const bool german = ErrorLanguage() == TLanguage::German;
    QString text = QString::fromUtf8(e && !german ? e->English() : error.what());
    if (e && e->Cause != 0)
        text += QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(e->Cause));
    return text;
}

void ShowError(const std::exception& error) { ShowError(ErrorText(error)); }

void ShowError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ShowError(e);
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text, const QString& yes,
              const QString& no, bool yesByDefault) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(yes);
    box.button(QMessageBox::No)->setText(no);
    box.setDefaultButton(yesByDefault ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void Inform(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // No display name of its own: window systems would append it to every caption
    // ("Options — Quillfen"), and the captions are the program's exactly. Where a name is shown
    // without a caption of its own (the error box), the application name stands in.
    setApplicationName("Quillfen");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowError(std::current_exception());
    }
    return false;
}

}  // namespace quillfen
