#pragma once

// Page images for tests: real files as rasters, conversions to and from QImage, pages with text
// drawn by QPainter, and pages turned, tilted or keystoned as scanners and phone cameras deliver
// them.

#include "core/Geometry.h"
#include "core/Raster.h"

#include <QImage>
#include <QRect>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace quorvane::test {

// A deep copy of the image as an 8-bit RGB raster; empty for a null image.
Raster rasterFromImage(const QImage& image);
QImage imageFromRaster(const Raster& raster); // grey or RGB

// The raster's grey levels: the raster itself when it is grey, its luma when it is RGB.
cv::Mat greyLevels(const Raster& raster);

// A corpus image as an RGB raster; empty when it cannot be read.
Raster corpusRaster(const QString& name);

// A white page of `width` x `height` pixels with each text drawn in black on its own line, in a
// serif font, starting at the upper left `margins` text sizes in; with where each line's ink landed.
struct DrawnPage {
    Raster raster;
    std::vector<Rect> lineRects; // pixels, origin top left
};
DrawnPage drawTextPage(const QStringList& lines, int width, int height, int pixelSize = 48, int margins = 1);

// A white greyscale page image with each word drawn in black, filling its rectangle's height.
struct Word {
    QRect pixels; // where the word is drawn, in image pixels (top-left origin)
    QString text;
};
QImage renderWords(QSize size, const QList<Word>& words);

// Lines of text, one under another, for pages that need readable text.
QImage renderParagraph(QSize size, const QStringList& lines, int pixelHeight = 40);

// Twelve lines of prose spread over a 4.25 x 5.5 inch sheet at 300 DPI: enough text for a first
// pass that reads the page well, and for the perspective rules (first and last lines spanning the
// text block, lines of equal height).
extern const QStringList proseLines;
Raster proseSheet();

// The rectangle of pixels darker than mid-grey; empty when there are none.
cv::Rect darkArea(const Raster& raster);

// The page turned by `turnsCW` clockwise quarter turns (exactly, no resampling).
Raster turnedPage(const Raster& page, int turnsCW);

// The page rotated counter-clockwise by `degrees` about its centre, on a white canvas that
// holds all of it.
Raster tiltedPage(const Raster& page, double degrees);

// The page as a phone held above its lower edge sees it: the far (top) edge narrowed by
// `narrowing` of the width on each side and pulled down by `drop` of the height, the near
// (bottom) edge as it was; a projective warp on a white canvas of the same size.
Raster keystonedPage(const Raster& page, double narrowing = 0.08, double drop = 0.03);

// linn.png from the corpus in the variants the corrections must handle.
struct PageVariant {
    QString name;
    Raster raster;
    int turnsCW = 0;        // quarter turns that were applied (the probe must undo them)
    double tiltDegrees = 0; // counter-clockwise tilt that was applied
    bool keystoned = false;
};

// Upright; tilted 1 and 4 degrees; keystoned; turned 90, 180 and 270 degrees.
std::vector<PageVariant> linnVariants();

} // namespace quorvane::test
