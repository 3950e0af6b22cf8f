#include "ui/Main.h"

#include <QCoreApplication>

#include "ui/application.h"

int main(int argc, char** argv) {
    // The preview browser shares its GL context with the window.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    quillfen::TApplication app(argc, argv);
    app.setApplicationDisplayName("Quillfen");

    const auto form = quillfen::CreateMainWindow();
    form->show();
    return app.exec();
}
