#pragma once
// The program icon as a raster image; the shapes are those of icons/quillfen.svg.
#include <QImage>

namespace quillfen::packaging {

// The side length of the design's own coordinate system (the SVG's viewBox).
inline constexpr int IconDesignSize = 256;

// The icon at size x size pixels, premultiplied ARGB, transparent outside the rounded square.
// Needs no QGuiApplication: only shapes are drawn, no text, so no font or platform is involved.
QImage RenderIcon(int size);

}  // namespace quillfen::packaging
