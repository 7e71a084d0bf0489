#pragma once

// Pages as a scanner or a phone camera delivers them, made from an upright page raster: turned by
// quarter turns, tilted by a few degrees, or keystoned like a photo of a page laid flat.

#include "platform/Raster.h"

#include <QString>
#include <vector>

namespace quorvane::test {

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

// Upright; tilted 1, 2 and 4 degrees; keystoned; turned 90, 180 and 270 degrees.
std::vector<PageVariant> linnVariants();

} // namespace quorvane::test
