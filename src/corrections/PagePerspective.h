#pragma once

// Corrects pages photographed at an angle (keystone distortion). Detection works only from the
// recognised lines: when the upper and lower halves of the text differ in mean line angle or mean
// line height, the text block's quadrilateral is taken from the topmost and bottommost lines, one
// edge narrowed in proportion to the distortion, and the raster is warped so that the
// quadrilateral fills it.

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
inline constexpr double minAngleGradient = 0.01;
inline constexpr double minHeightGradient = 0.05;
inline constexpr double maxAngleGradient = 15 * std::numbers::pi / 180;
inline constexpr double minSpan = 0.6;
inline constexpr double minEdgeRatio = 0.5;
inline constexpr double maxNarrowing = 0.08;
inline constexpr double cornerTolerance = 0.02;

// The page's quadrilateral, or nothing when the lines show no usable distortion. The raster size
// does not influence the result.
std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines, double width, double height);

// A new width x height raster in which the quadrilateral of `params` is mapped onto the rectangle
// that bounds it, its top edge at the top, and the rest of the page with it (so margins and words
// outside the quadrilateral stay on the page); nothing when the warp cannot be made.
std::optional<Raster> apply(const Raster& raster, const PerspectiveParams& params, double width,
                            double height);

} // namespace quorvane::PagePerspective
