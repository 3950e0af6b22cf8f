// The raster icon against its design: the PNG sizes are drawn by code, the scalable icon is an
// SVG file, and the two must show the same picture.
#include "packaging/icon.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QRectF>
#include <QXmlStreamReader>
#include <vector>

using quillfen::packaging::IconDesignSize;
using quillfen::packaging::RenderIcon;

namespace {

const std::vector<int> Sizes = {16, 32, 48, 64, 128, 256};

const QColor Tile(255, 255, 148);

// The pixel that holds a point of the 256 x 256 design when drawn at size pixels.
QColor At(const QImage& image, double x, double y) {
    const int px = int(x * image.width() / IconDesignSize);
    const int py = int(y * image.height() / IconDesignSize);
    return image.pixelColor(px, py);
}

struct TSvgRect {
    QRectF Rect;
    QColor Fill;
    bool FollowedByPath = false;  // a later shape that is no rectangle may cover it
};

// The rectangles of the SVG in drawing order, with the fill they get from themselves or their
// group.
std::vector<TSvgRect> ReadSvgRects(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    std::vector<QString> groupFill;
    std::vector<TSvgRect> rects;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes attributes = xml.attributes();
            auto a = [&](const char* name) { return attributes.value(QLatin1String(name)); };
            if (xml.name() == u"g") groupFill.push_back(a("fill").toString());
            if (xml.name() == u"path")
                for (TSvgRect& r : rects) r.FollowedByPath = true;
            if (xml.name() == u"rect") {
                QString fill = a("fill").toString();
                if (fill.isEmpty() && !groupFill.empty()) fill = groupFill.back();
                TSvgRect rect;
                rect.Rect = QRectF(a("x").toDouble(), a("y").toDouble(), a("width").toDouble(),
                                   a("height").toDouble());
                rect.Fill = QColor(fill);
                rects.push_back(rect);
            }
        } else if (xml.isEndElement() && xml.name() == u"g") {
            groupFill.pop_back();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return rects;
}

}  // namespace

TEST(Icon, HasEachSizeOpaqueInsideAndTransparentAtTheRoundedCorners) {
    for (int size : Sizes) {
        SCOPED_TRACE(size);
        const QImage image = RenderIcon(size);
        ASSERT_EQ(image.width(), size);
        ASSERT_EQ(image.height(), size);
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;
        EXPECT_EQ(At(image, 128, 128).alpha(), 255);
        // The frame: left of the page, halfway down.
        EXPECT_EQ(At(image, 30, 128), QColor(0x2f, 0x5d, 0x8a));
    }
    EXPECT_TRUE(RenderIcon(0).isNull());
    EXPECT_TRUE(RenderIcon(-5).isNull());
}

TEST(Icon, PhraseTileStaysPaleYellowWithAVisibleTAtEverySize) {
    for (int size : Sizes) {
        SCOPED_TRACE(size);
        const QImage image = RenderIcon(size);
        // Right of the T's stem and below its bar, so a whole pixel lies in the tile at 16 px.
        EXPECT_EQ(At(image, 200, 200), Tile);
        const QColor stem = At(image, 176, 200);
        if (size >= 64)
            EXPECT_EQ(stem, QColor(Qt::black));
        else
            EXPECT_LT(stem.red(), 160) << "the T fades into the tile";
        EXPECT_EQ(At(image, 100, 50), QColor(Qt::white));  // the page above its text lines
    }
}

TEST(Icon, DrawingMatchesTheRectanglesOfTheScalableIcon) {
    const std::vector<TSvgRect> rects = ReadSvgRects(QStringLiteral(QUILLFEN_ICON_SVG));
    ASSERT_GE(rects.size(), 9u);
    const QImage image = RenderIcon(IconDesignSize);
    int compared = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].FollowedByPath) continue;
        const QPointF centre = rects[i].Rect.center();
        // What the SVG shows there: the last rectangle drawn over that point.
        QColor expected = rects[i].Fill;
        for (size_t j = i + 1; j < rects.size(); ++j)
            if (rects[j].Rect.contains(centre)) expected = rects[j].Fill;
        SCOPED_TRACE(i);
        EXPECT_EQ(At(image, centre.x(), centre.y()), expected) << centre.x() << "," << centre.y();
        ++compared;
    }
    EXPECT_GE(compared, 8);
}
