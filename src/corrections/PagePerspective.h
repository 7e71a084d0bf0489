#pragma once

// Corrects pages photographed at an angle (keystone distortion). Detection works only from the
// recognised lines: the margins of the text (the straight edges along which many lines start or
// end) are vertical and parallel on a flat page, while on a page photographed from below or above
// its edge they converge towards one vanishing point. When they converge by a measurable amount,
// the text block's quadrilateral follows them, and the raster is warped so that it becomes a
// rectangle. Headings, indents, bullets and short lines do not make a margin, so layout alone is
// never taken for a keystone.

#include "core/Geometry.h"
#include "core/OCRRecords.h"
#include "core/Raster.h"

#include <numbers>
#include <optional>
#include <vector>

namespace quorvane::PagePerspective {

// Corners normalised 0..1 with the origin at the bottom left, y upwards.
struct PerspectiveParams {
    Point topLeft;
    Point topRight;
    Point bottomLeft;
    Point bottomRight;
    double angleGradient = 0;  // |mean angle of the upper half - that of the lower half|, radians
    double heightGradient = 0; // relative difference of the halves' mean line heights

    bool operator==(const PerspectiveParams&) const = default;
};

inline constexpr float minLineConfidence = 0.3f; // a line is used only when strictly greater
inline constexpr int minLineCount = 4;
// At or above this difference of the halves' mean line angles the detection gives up.
inline constexpr double maxAngleGradient = 15 * std::numbers::pi / 180;
// A margin's line ends must spread over at least this share of the raster's height.
inline constexpr double minMarginSpan = 0.25;
// The text's top edge must be narrower or wider than its foot by at least this share of the
// foot's width to be corrected, and by no more than this share to be believed.
inline constexpr double minNarrowing = 0.05;
inline constexpr double maxNarrowing = 0.6;
inline constexpr double cornerTolerance = 0.02;

// The text block's quadrilateral on a `width` x `height` pixel raster, or nothing when the lines
// show no keystone.
std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines, double width, double height);

// A new width x height raster in which the quadrilateral of `params` is mapped onto the rectangle
// that bounds it, its top edge at the top, and the rest of the page with it (so margins and words
// outside the quadrilateral stay on the page); a black-and-white raster stays black and white.
// Nothing when the warp cannot be made.
std::optional<Raster> apply(const Raster& raster, const PerspectiveParams& params, double width,
                            double height);

} // namespace quorvane::PagePerspective
