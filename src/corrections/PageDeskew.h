#pragma once

// Straightens pages scanned at a slight angle. The skew is not measured on the image: it is the
// median angle of the confidently recognised lines. The page is then rotated the other way on an
// enlarged white canvas.

#include "core/Geometry.h"
#include "core/OCRRecords.h"
#include "core/Raster.h"

#include <numbers>
#include <optional>
#include <vector>

namespace quorvane::PageDeskew {

// A line counts only when its confidence is strictly greater.
inline constexpr float minLineConfidence = 0.3f;
// A line angle counts only when its magnitude is strictly smaller (15 degrees).
inline constexpr double maxAngle = 15 * std::numbers::pi / 180;
// A median of smaller magnitude is no skew (0.3 degrees).
inline constexpr double minAngle = 0.3 * std::numbers::pi / 180;
// Rotations of this magnitude or less leave the raster and the page box as they are.
inline constexpr double rotationThreshold = 0.0001;

// The skew of a `width` x `height` pixel raster whose recognised lines are `lines`, in radians,
// counter-clockwise positive as seen on the raster; 0 when there is nothing to correct.
// A line's angle is its slope in coordinates normalised to the raster, which on a page that is not
// square understates or overstates the real tilt (on a portrait letter page a 1 degree tilt reads
// as 0.77 degrees). Each angle is therefore converted to pixels before the thresholds and the
// median apply. Without a usable size the angles are taken as they are.
double estimateAngle(const std::vector<OCRLine>& lines, double width, double height);

// A slope angle measured in coordinates normalised to a `width` x `height` frame, as an angle in
// pixels of that frame.
double pixelAngle(double normalisedAngle, double width, double height);

// The raster rotated by `angle` radians about its centre (counter-clockwise for positive angles) on
// a white canvas that holds all of it. The same raster for angles within the rotation threshold;
// nothing when the rotated raster cannot be made (the caller then keeps the page unrotated).
std::optional<Raster> rotated(const Raster& raster, double angle);

// The box, at the origin, that holds `rect` rotated by `angle`; `rect` itself for angles within
// the rotation threshold.
Rect deskewedBounds(double angle, const Rect& rect);

} // namespace quorvane::PageDeskew
