#include "ui/texts.h"

#include <QFile>
#include <QStringList>

namespace quillfen {

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString QtFileFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf('|');
    if (bar < 0) return filter;
    QStringList patterns = filter.mid(bar + 1).split(';', Qt::SkipEmptyParts);
    // The patterns are meant without regard to case; the file system here is not.
    const QStringList given = patterns;
    for (const QString& p : given)
        if (!patterns.contains(p.toLower())) patterns << p.toLower();
    return filter.left(bar) + " (" + patterns.join(' ') + ")";
}

QString FormatCount(const QString& format, std::uint64_t n) {
    QString s = format;
    const qsizetype at = s.indexOf("%d");
    if (at >= 0) s.replace(at, 2, QString::number(n));
    return s;
}

QString FillIn(const QString& text, const QString& value) {
    QString s = text;
    const qsizetype at = s.indexOf("%s");
    if (at >= 0) s.replace(at, 2, value);
    return s;
}

bool HasLetterOrDigit(const QString& text) {
    for (const char32_t c : text.toUcs4())
        if (QChar::isLetterOrNumber(c)) return true;
    return false;
}

}  // namespace quillfen
