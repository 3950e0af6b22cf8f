#include "ui/pictures.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

namespace quillfen {

QFont PixelFont(const QString& family, int pixels, bool bold) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

namespace {

QPixmap MakeTick(bool enabled) {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(enabled ? QColor(0, 150, 0) : QColor(150, 150, 150), 3.2, Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    QPainterPath path;
    path.moveTo(3, 9.5);
    path.lineTo(7.5, 14);
    path.lineTo(15, 4);
    p.drawPath(path);
    return pm;
}

}  // namespace

QPixmap MakeKindImage(const TKindInfo& kind) {
    // The tiles' letter colours, by the icon names of the kinds' entries.
    static const std::pair<std::string_view, QColor> kTiles[] = {
        {"kind-text", QColor(0, 0, 0)},
        {"kind-image", QColor(0, 49, 205)},
        {"kind-content", QColor(0, 98, 41)},
        {"kind-attribute", QColor(160, 32, 0)},
    };
    const auto* tile = std::find_if(std::begin(kTiles), std::end(kTiles),
                                    [&](const auto& t) { return t.first == kind.Icon; });
    if (tile == std::end(kTiles)) return {};
    QImage img(12, 12, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 148));
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(0, 0, 11, 11);
    p.setPen(tile->second);
    QFont letter = PixelFont("Arial", 9, true);
    // Exact colours: the tiles are a fixed image list, not text.
    letter.setStyleStrategy(QFont::NoAntialias);
    p.setFont(letter);
    p.drawText(QRect(1, 1, 10, 10), Qt::AlignCenter, QString(QChar(kind.Letter)));
    p.end();
    return QPixmap::fromImage(img);
}

TKindImages MakeKindImages() {
    TKindImages images;
    for (const TKindInfo& kind : Kinds())
        images[static_cast<std::size_t>(kind.Kind)] = MakeKindImage(kind);
    return images;
}

QIcon MakeTickIcon() {
    QIcon tick;
    tick.addPixmap(MakeTick(true), QIcon::Normal);
    tick.addPixmap(MakeTick(false), QIcon::Disabled);
    return tick;
}

QPixmap MakeHelpBitmap() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 148));
    p.setPen(QColor(0, 49, 205));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setFont(PixelFont("Arial", 12, true));
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "?");
    return pm;
}

// The Start page's picture: a quill over a few lines of a page, in the tiles' colours.
QPixmap MakeStartPicture() {
    QPixmap pm(243, 196);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 148));
    p.drawRoundedRect(QRectF(40, 40, 150, 140), 6, 6);
    p.setPen(QPen(QColor(0, 98, 41), 3, Qt::SolidLine, Qt::RoundCap));
    for (int y = 62; y < 170; y += 16) p.drawLine(56, y, y % 32 ? 150 : 172, y);
    QPainterPath feather;
    feather.moveTo(120, 150);
    feather.cubicTo(150, 90, 190, 40, 228, 12);
    feather.cubicTo(215, 60, 180, 110, 120, 150);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0, 49, 205));
    p.drawPath(feather);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(120, 150), QPointF(200, 45));
    return pm;
}

// The left strip's picture: two sheets, one of text lines and one of markers, joined by an arrow.
QPixmap MakeWizardPicture() {
    QPixmap pm(133, 200);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(0, 49, 205));
    sky.setColorAt(1, QColor(0, 16, 72));
    p.fillRect(pm.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 148));
    p.drawRoundedRect(QRectF(14, 70, 62, 80), 4, 4);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(58, 104, 62, 80), 4, 4);

    p.setPen(QPen(QColor(0, 98, 41), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 84; y < 142; y += 11) p.drawLine(22, y, y % 2 ? 58 : 68, y);
    p.setPen(QPen(QColor(0, 49, 205), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 118; y < 176; y += 11) {
        p.drawLine(66, y, 78, y);
        p.drawLine(96, y, 112, y);
    }
    p.setPen(QPen(QColor(205, 0, 0), 2));
    for (int y = 118; y < 176; y += 11) p.drawEllipse(QPointF(87, y), 3, 3);

    QPainterPath arrow;
    arrow.moveTo(40, 160);
    arrow.cubicTo(40, 180, 48, 186, 54, 186);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    p.drawLine(QPointF(54, 186), QPointF(47, 180));
    p.drawLine(QPointF(54, 186), QPointF(47, 192));
    return pm;
}

}  // namespace quillfen
