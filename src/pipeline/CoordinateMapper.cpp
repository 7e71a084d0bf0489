#include "pipeline/CoordinateMapper.h"

#include <cmath>

namespace quorvane::CoordinateMapper {

namespace {

// Below this a deskew angle is treated as none.
constexpr double smallestAngle = 0.0001;

bool isQuarterTurnRotation(int rotation) {
    return rotation == 90 || rotation == 180 || rotation == 270;
}

Size turnedSize(const Size& display, int turnsCW) {
    if (turnsCW == 1 || turnsCW == 3) {
        return {display.height, display.width};
    }
    return display;
}

Size deskewedSize(const Size& turned, double deskewAngle) {
    if (std::abs(deskewAngle) <= smallestAngle) {
        return turned;
    }
    const double c = std::abs(std::cos(deskewAngle));
    const double s = std::abs(std::sin(deskewAngle));
    return {turned.width * c + turned.height * s, turned.width * s + turned.height * c};
}

} // namespace

Rect displayBounds(const PdfPage& page) {
    const Rect crop = page.cropBox();
    const int rotation = page.rotation();
    if (rotation == 90 || rotation == 270) {
        return {0, 0, crop.height, crop.width};
    }
    return {0, 0, crop.width, crop.height};
}

AffineTransform drawTransform(const PdfPage& page, int turnsCW, double deskewAngle) {
    return drawTransform(page.cropBox(), page.rotation(), turnsCW, deskewAngle);
}

// Each call below is appended to the transformation the way a drawing context's CTM calls are, so
// the steps act on the page's content in reverse order: crop origin first, deskew last. Quarter
// turns rotate by whole multiples of 90 degrees, which are exact (no 6e-17 terms).
AffineTransform drawTransform(const Rect& cropBox, int rotation, int turnsCW, double deskewAngle) {
    if (!isQuarterTurnRotation(rotation)) {
        rotation = 0;
    }
    const double cw = cropBox.width, ch = cropBox.height;
    const Size display = rotation == 90 || rotation == 270 ? Size{ch, cw} : Size{cw, ch};
    const double W = display.width, H = display.height;

    AffineTransform t;
    if (std::abs(deskewAngle) > smallestAngle) {
        const Size turned = turnedSize(display, turnsCW);
        const Size canvas = deskewedSize(turned, deskewAngle);
        t.translate(canvas.width * 0.5, canvas.height * 0.5);
        t.rotateRadians(deskewAngle);
        t.translate(turned.width * -0.5, turned.height * -0.5);
    }

    switch (turnsCW) {
    case 1:
        t.translate(0, W);
        t.rotate(-90);
        break;
    case 2:
        t.translate(W, H);
        t.rotate(180);
        break;
    case 3:
        t.translate(H, 0);
        t.rotate(90);
        break;
    default:
        break;
    }

    // The page's own rotation entry; drawingAppliesRotation is read here and is always false for
    // our form-XObject drawing, so the rotation is part of the matrix.
    switch (rotation) {
    case 90:
        t.translate(0, cw);
        if (!drawingAppliesRotation) {
            t.rotate(-90);
        }
        break;
    case 180:
        t.translate(cw, ch);
        if (!drawingAppliesRotation) {
            t.rotate(180);
        }
        break;
    case 270:
        t.translate(ch, 0);
        if (!drawingAppliesRotation) {
            t.rotate(90);
        }
        break;
    default:
        break;
    }

    t.translate(-cropBox.minX(), -cropBox.minY());
    return t;
}

Rect mapNormalizedRect(const Rect& normalized, const Rect& bounds) {
    return {bounds.minX() + normalized.minX() * bounds.width,
            bounds.minY() + normalized.minY() * bounds.height, normalized.width * bounds.width,
            normalized.height * bounds.height};
}

} // namespace quorvane::CoordinateMapper
