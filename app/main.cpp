#include "ui/Main.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <csignal>
#include <cstdio>

#include "shell/wininfo.h"
#include "ui/application.h"
#include "ui/desktop.h"
#include "ui/preview.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file-size limit makes a save fail with its cause instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The shell folders as they are when the program starts, before any window exists.
    quillfen::WindowsInfo();
    // The preview's own URL scheme must be known before the browser starts.
    quillfen::TPreview::RegisterScheme();
    // The preview browser shares its GL context with the window.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // No display name: the window systems would append it to every caption.
    quillfen::TApplication app(argc, argv);

    const quillfen::TCommandLine line = quillfen::ReadCommandLine(QCoreApplication::arguments());
    if (!line.valid) {
        std::fputs(qPrintable(quillfen::Usage(QCoreApplication::arguments().value(0))), stderr);
        return 2;
    }
    const auto form = quillfen::CreateMainWindow();
    form->show();
    // Once the loop runs: the window has read the settings, and an error box has a window.
    if (!line.page.isEmpty())
        QMetaObject::invokeMethod(
            form.get(), quillfen::Guard([&form, page = line.page] { form->OpenPage(page); }),
            Qt::QueuedConnection);
    return app.exec();
}
