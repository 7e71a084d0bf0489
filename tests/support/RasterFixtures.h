#pragma once

// Page rasters for tests: real files as rasters, conversions to and from QImage, and pages with
// text drawn by QPainter.

#include "core/Geometry.h"
#include "platform/Raster.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace quorvane::test {

// A deep copy of the image as an 8-bit RGB raster; empty for a null image.
Raster rasterFromImage(const QImage& image);
QImage imageFromRaster(const Raster& raster);

// An image file as an RGB raster; empty when it cannot be read.
Raster loadRaster(const QString& path);
// A corpus image as an RGB raster.
Raster corpusRaster(const QString& name);

// A white page of `width` x `height` pixels with each text drawn in black on its own line, in a
// serif font, starting at the upper left; with where each line's ink landed.
struct DrawnPage {
    Raster raster;
    std::vector<Rect> lineRects; // pixels, origin top left
};
DrawnPage drawTextPage(const QStringList& lines, int width, int height, int pixelSize = 48);

// The same kind of page as a QImage, with a wider margin.
QImage textPage(const QStringList& lines, int width, int height, int pixelSize);

// The fraction of pixels darker than mid-grey inside a rectangle (pixels, origin top left).
double inkShare(const Raster& raster, const Rect& pixels);
// The mean darkness (255 - grey level, 0..255) of the raster's pixels inside `area`.
double meanDarkness(const Raster& raster, const QRect& area);

} // namespace quorvane::test
