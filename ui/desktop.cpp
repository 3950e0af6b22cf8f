#include "ui/desktop.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace quillfen {

TCommandLine ReadCommandLine(const QStringList& arguments) {
    TCommandLine line;
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (options && a == QLatin1String("--")) {
            options = false;
            continue;
        }
        // A second page, or an option the program does not have.
        if (!line.page.isEmpty() || a.isEmpty() || (options && a.startsWith(u'-'))) {
            line.valid = false;
            line.page.clear();
            return line;
        }
        // As the shell's working folder names it: the window's folder may change later.
        line.page = QDir::cleanPath(QFileInfo(a).absoluteFilePath());
    }
    return line;
}

QString Usage(const QString& program) { return QStringLiteral("Usage: %1 [PAGE]\n").arg(program); }

QString DroppedPage(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : path;
}

}  // namespace quillfen
