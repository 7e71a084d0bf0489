#pragma once

// Limits the searchable text to one area of the page: recognition still covers the whole page, and
// the recognised lines lying mainly inside the area are kept. Also the conversions the preview uses
// between its view (origin top left, y down) and a region (normalised, origin bottom left, y up).

#include "core/Geometry.h"
#include "core/OCRRecords.h"

#include <optional>
#include <vector>

namespace quorvane::OCRRegion {

// A line is kept when at least this fraction of its box area lies inside the region.
inline constexpr double overlapThreshold = 0.5;

// The lines (unchanged, in their order) whose boxes lie mainly inside `region`; all lines when
// there is no region. A region outside the unit square or without area keeps nothing.
std::vector<OCRLine> filter(const std::vector<OCRLine>& lines, const std::optional<Rect>& region);

// Where an image of `imageSize` pixels is shown, aspect-fit and centred, in a pane of `paneSize`
// with `inset` on every side; the empty rectangle when nothing can be shown.
Rect imageRect(Size imageSize, Size paneSize, double inset);

// The region a drag from `start` to `current` selects over the image shown at `imageRect`; the
// points are first clamped into the image.
Rect regionFromDrag(Point start, Point current, const Rect& imageRect);

// Where `region` lies in the view when the image is shown at `imageRect`.
Rect viewRect(const Rect& region, const Rect& imageRect);

} // namespace quorvane::OCRRegion
