#include <QCoreApplication>

#include "ui/Main.h"
#include "ui/application.h"
#include "ui/options.h"
#include "ui/wizard.h"

int main(int argc, char** argv) {
    // The preview browser shares its GL context with the window.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    quillfen::TApplication app(argc, argv);
    app.setApplicationDisplayName("Quillfen");

    // Created in this order; the first activation of the main window needs both dialogs.
    quillfen::TForm1 form;
    form.OptionsDlg = new quillfen::TOptionsDlg(&form);
    form.WizardDlg = new quillfen::TWizardDlg(&form);
    form.show();
    return app.exec();
}
