#include "packaging/icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace quillfen::packaging {

QImage RenderIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size <= 0) return image;

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / IconDesignSize, double(size) / IconDesignSize);
    p.setPen(Qt::NoPen);

    QPainterPath frame;
    frame.addRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    p.fillPath(frame, QColor(0x2f, 0x5d, 0x8a));

    QPainterPath page;
    page.moveTo(56, 36);
    page.lineTo(168, 36);
    page.lineTo(200, 68);
    page.lineTo(200, 220);
    page.lineTo(56, 220);
    page.closeSubpath();
    p.fillPath(page, Qt::white);

    QPainterPath fold;
    fold.moveTo(168, 36);
    fold.lineTo(168, 68);
    fold.lineTo(200, 68);
    fold.closeSubpath();
    p.fillPath(fold, QColor(0xc8, 0xd2, 0xdc));

    const QColor line(0x9a, 0xa8, 0xb6);
    p.fillRect(QRectF(76, 64, 72, 8), line);
    p.fillRect(QRectF(76, 86, 104, 8), line);
    p.fillRect(QRectF(76, 108, 104, 8), line);
    for (int y : {130, 152, 174}) p.fillRect(QRectF(76, y, 40, 8), line);

    // The tile of a plain-text phrase, as the phrase list marks it: pale yellow with a black T.
    p.setPen(QPen(Qt::black, 4));
    p.setBrush(QColor(255, 255, 148));
    p.drawRoundedRect(QRectF(128, 136, 96, 96), 10, 10);
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(146, 152, 60, 14), Qt::black);
    p.fillRect(QRectF(169, 152, 14, 64), Qt::black);
    p.end();
    return image;
}

}  // namespace quillfen::packaging
