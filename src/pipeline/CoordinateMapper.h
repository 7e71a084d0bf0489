#pragma once

// Ties together a page's own user space (crop box, rotation), the upright display space in which
// pages are rendered, recognised and rewritten, and the normalised boxes of recognition.

#include "core/AffineTransform.h"
#include "core/Geometry.h"
#include "platform/PdfDocument.h"

namespace quorvane::CoordinateMapper {

// The page as a reader shows it: (0, 0, W, H) in points, W and H the crop box's size, swapped
// for a rotation of 90 or 270.
Rect displayBounds(const PdfPage& page);

// The transformation (a PDF "cm" matrix: m11 m12 m21 m22 dx dy) that draws the page's content,
// given in its own user space, upright into display space, turned clockwise by `turnsCW` quarter
// turns and rotated by `deskewAngle` radians (counter-clockwise positive) about the centre of the
// enlarged canvas.
AffineTransform drawTransform(const PdfPage& page, int turnsCW = 0, double deskewAngle = 0);
// The same for a crop box and a clockwise page rotation given directly.
AffineTransform drawTransform(const Rect& cropBox, int rotation, int turnsCW = 0, double deskewAngle = 0);

// A normalised box (0..1, origin bottom left) placed into `bounds`.
Rect mapNormalizedRect(const Rect& normalized, const Rect& bounds);

// Our drawing never lets the renderer apply the page's /Rotate by itself: the matrix above
// carries the rotation, so the flag that would ask the renderer is fixed to false.
inline constexpr bool drawingAppliesRotation = false;

} // namespace quorvane::CoordinateMapper
