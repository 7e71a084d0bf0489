#pragma once

// Page bitmaps for tests: real files as rasters, and pages with text drawn by QPainter.

#include "core/Geometry.h"
#include "platform/Raster.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

namespace quorvane::test {

// An 8-bit RGB raster with its own copy of the image's pixels.
Raster rasterFromImage(const QImage& image);

// A corpus image as an RGB raster; an empty raster when it cannot be read.
Raster corpusRaster(const QString& name);

// A white page of `width` x `height` pixels with each text drawn in black on its own line, in a
// serif font whose x-height is about `pixelSize` / 2, starting at the upper left.
struct DrawnPage {
    Raster raster;
    std::vector<Rect> lineRects; // where each text was drawn, in pixels, origin top left
};
DrawnPage drawTextPage(const QStringList& lines, int width, int height, int pixelSize = 48);

// The fraction of pixels darker than mid-grey inside a rectangle of the raster (pixels, origin top left).
double inkShare(const Raster& raster, const Rect& pixels);

} // namespace quorvane::test
