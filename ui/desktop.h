#pragma once

// Pages that the desktop hands over rather than the Open dialog: one named on the command line
// ("Open with" in a file manager), and one dropped onto the window.

#include <QString>
#include <QStringList>

class QMimeData;
class QWidget;

namespace quillfen {

struct TCommandLine {
    bool valid = true;  // false: anything but one optional page; Usage says what is read
    QString page;       // absolute; empty when none was named
};

// arguments as QCoreApplication gives them, the program first and Qt's own options taken out.
// "--" ends the options, so that a page whose name begins with "-" can still be named.
TCommandLine ReadCommandLine(const QStringList& arguments);
QString Usage(const QString& program);

// The local file a drag carries, if it carries exactly one; otherwise an empty string.
QString DroppedPage(const QMimeData* data);

// Drags over view, and over the widgets it makes for itself (a browser's surface), go on to the
// window, as over any other control.
void PassDropsOn(QWidget* view);

}  // namespace quillfen
