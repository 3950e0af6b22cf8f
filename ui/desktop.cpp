#include "ui/desktop.h"

#include <QChildEvent>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace quillfen {

namespace {

// A widget that takes drops itself does so as it is made; its parent hears of it once the
// widget is polished, which is when it is turned away again.
class TDropPasser : public QObject {
  public:
    using QObject::QObject;

    void Watch(QWidget* w) {
        w->setAcceptDrops(false);
        w->installEventFilter(this);
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) Watch(child);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildPolished) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType() && watched->isWidgetType())
                Watch(static_cast<QWidget*>(child));
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

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

void PassDropsOn(QWidget* view) { (new TDropPasser(view))->Watch(view); }

}  // namespace quillfen
