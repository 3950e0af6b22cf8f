#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>
#include <utility>

#include "settings/language.h"

namespace quillfen {

// The one place where a failed command is shown. The default is a standard error box;
// tests put a recorder here so that nothing blocks.
using TErrorBox = std::function<void(const QString& text)>;
void SetErrorBox(TErrorBox box);
void ShowError(const QString& text);
// The language error texts are shown in: the German texts for the German interface, the English
// ones for every other.
void SetErrorLanguage(TLanguage language);
// The error's text, and on a second line the cause the system reported ("Permission denied",
// "No space left on device"), in the user's language where the system translates it.
QString ErrorText(const std::exception& error);
void ShowError(const std::exception& error);
// The error an exception holds; one that is no std::exception is an "Unknown error".
void ShowError(const std::exception_ptr& error);

// A question in a standard box with the window's own captions for Yes and No; Esc answers No.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text, const QString& yes,
              const QString& no, bool yesByDefault);
// A note in a standard box, with an Ok button.
void Inform(QWidget* parent, const QString& title, const QString& text);

// Runs one command of the windows. An error ends it here, at the error box, so that no exception
// crosses Qt's own frames (Qt leaves that undefined); what the command did before the error stays
// done. True when the command ran to its end.
template <class F>
bool Guarded(F&& command) noexcept {
    try {
        std::forward<F>(command)();
        return true;
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
}

// A command as a slot that runs it inside Guarded, for every connect of the windows:
//   connect(OkBtn, &QPushButton::clicked, this, Guard([this] { OkBtnClick(); }));
template <class F>
auto Guard(F command) {
    return [command = std::move(command)]() noexcept { Guarded(command); };
}

// Every command is guarded where it is connected; notify() is the last resort for an error that
// escaped an event handler by mistake, so that it still reaches the error box.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quillfen
