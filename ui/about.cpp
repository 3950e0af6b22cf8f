#include "ui/about.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/stringtable.h"

namespace quillfen {

namespace {

// Where the README is: beside the source tree the program was built from, or installed.
QString ReadmePath() {
    const QStringList candidates = {
        QCoreApplication::applicationDirPath() + "/../README.md",
        QCoreApplication::applicationDirPath() + "/../../README.md",
#ifdef QUILLFEN_SOURCE_DIR
        QStringLiteral(QUILLFEN_SOURCE_DIR "/README.md"),
#endif
        QStringLiteral("/usr/share/doc/quillfen/README.md"),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();
    return candidates.last();
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
    col->addWidget(new QLabel("Version " + LoadStr(VersionId), &about));
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
