#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

namespace quillfen {

// The one place where a failed command is shown. The default is a standard error box;
// tests put a recorder here so that nothing blocks.
using TErrorBox = std::function<void(const QString& text)>;
void SetErrorBox(TErrorBox box);
void ShowError(const QString& text);
// The error's text, and on a second line the cause the system reported ("Permission denied",
// "No space left on device"), in the user's language where the system translates it.
QString ErrorText(const std::exception& error);
void ShowError(const std::exception& error);

// Every event handler runs inside notify(), so an error raised by any command ends that
// command here and reaches the error box; what the command did before stays done.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quillfen
