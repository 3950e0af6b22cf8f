#include "ui/about.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/stringtable.h"

namespace quillfen {

namespace {

// The README as installed: the doc folder the install rule puts it in, found from the program's
// own folder so that the install tree may move, else the system's shared data folders. Without
// an installed copy (a program run from its build tree), the copy compiled into the program is
// written to the user's cache folder, so that the link opens a file as it does when installed.
QString ReadmePath() {
    QStringList candidates = {QCoreApplication::applicationDirPath() +
                              QStringLiteral("/" QUILLFEN_DOC_FROM_BIN "/README.md")};
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                            QStringLiteral("doc/quillfen/README.md"));
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString copy = folder + QStringLiteral("/README.md");
    QFile compiled(QStringLiteral(":/quillfen/doc/README.md"));
    if (QDir().mkpath(folder) && compiled.open(QIODevice::ReadOnly)) {
        const QByteArray text = compiled.readAll();
        QFile out(copy);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(text) == text.size())
            return copy;
    }
    return candidates.first();
}

}  // namespace

void ShowAboutBox(QWidget* parent) {
    QDialog about(parent);
    about.setWindowTitle("About...");
    about.setFixedWidth(440);
    auto* col = new QVBoxLayout(&about);
    auto* name = new QLabel("Quillfen", &about);
    QFont big("Arial", 22);
    big.setBold(true);
    name->setFont(big);
    col->addWidget(name);
    col->addWidget(new QLabel("Version " + LoadStr(TStringId::Version), &about));
    col->addWidget(
        new QLabel("Questions and remarks: see the README that comes with Quillfen.", &about));
    const QString readme = ReadmePath();
    auto* link = new QLabel(&about);
    link->setObjectName("AboutLink");
    link->setTextFormat(Qt::RichText);
    link->setText(
        QString("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline\">%2</a>")
            .arg(QUrl::fromLocalFile(readme).toString(QUrl::FullyEncoded), readme.toHtmlEscaped()));
    link->setOpenExternalLinks(true);
    col->addWidget(link);
    auto* line = new QFrame(&about);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    col->addWidget(line);
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const qint64 mib = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / (1024 * 1024) : 0;
    col->addWidget(
        new QLabel(QString("Memory: %1 MB\nProcessors: %2 (%3)\nSystem: %4")
                       .arg(mib)
                       .arg(QThread::idealThreadCount())
                       .arg(QSysInfo::currentCpuArchitecture(), QSysInfo::prettyProductName()),
                   &about));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    col->addWidget(buttons);
    about.exec();
}

}  // namespace quillfen
