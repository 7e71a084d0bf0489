#pragma once

// Page rasters for tests: loaded from image files, converted to and from QImage, or drawn with
// QPainter.

#include "platform/Raster.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace quorvane::test {

// A deep copy of the image as an RGB raster.
Raster rasterFromImage(const QImage& image);
QImage imageFromRaster(const Raster& raster);

// The image file as an RGB raster; empty when it cannot be read.
Raster loadRaster(const QString& path);

// A white page of `width` x `height` pixels with `lines` of black text, one under the other,
// drawn at `pixelSize` from the top-left margin.
QImage textPage(const QStringList& lines, int width, int height, int pixelSize);

// The mean darkness (255 - grey level, 0..255) of the raster's pixels inside `area`.
double meanDarkness(const Raster& raster, const QRect& area);

} // namespace quorvane::test
