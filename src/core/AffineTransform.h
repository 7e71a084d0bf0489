#pragma once

// A 2-D affine transformation as PDF writes one ("a b c d e f cm"): x' = m11 x + m21 y + dx,
// y' = m12 x + m22 y + dy. Each call below is applied to points before what is already there, the
// way a drawing context's CTM calls are, so the last call acts first.

#include "core/Geometry.h"

namespace quorvane {

class AffineTransform {
public:
    AffineTransform() = default;
    AffineTransform(double m11, double m12, double m21, double m22, double dx, double dy)
        : m11_(m11), m12_(m12), m21_(m21), m22_(m22), dx_(dx), dy_(dy) {}

    double m11() const { return m11_; }
    double m12() const { return m12_; }
    double m21() const { return m21_; }
    double m22() const { return m22_; }
    double dx() const { return dx_; }
    double dy() const { return dy_; }

    AffineTransform& translate(double x, double y);
    // Counter-clockwise (y up). Whole multiples of 90 degrees are exact: no 6e-17 terms.
    AffineTransform& rotate(double degrees);
    AffineTransform& rotateRadians(double radians);

    Point map(const Point& point) const;

    bool operator==(const AffineTransform&) const = default;

private:
    AffineTransform& rotate(double sine, double cosine);

    double m11_ = 1, m12_ = 0, m21_ = 0, m22_ = 1, dx_ = 0, dy_ = 0;
};

} // namespace quorvane
