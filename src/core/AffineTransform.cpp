#include "core/AffineTransform.h"

#include <cmath>

namespace quorvane {

AffineTransform& AffineTransform::translate(double x, double y) {
    dx_ += x * m11_ + y * m21_;
    dy_ += x * m12_ + y * m22_;
    return *this;
}

AffineTransform& AffineTransform::rotate(double degrees) {
    const double turns = degrees / 90;
    if (turns == std::floor(turns)) {
        static constexpr double sines[] = {0, 1, 0, -1};
        const int quarter = ((int(std::fmod(turns, 4)) % 4) + 4) % 4;
        return rotate(sines[quarter], sines[(quarter + 1) % 4]);
    }
    return rotateRadians(degrees * M_PI / 180);
}

AffineTransform& AffineTransform::rotateRadians(double radians) {
    return rotate(std::sin(radians), std::cos(radians));
}

AffineTransform& AffineTransform::rotate(double sine, double cosine) {
    const AffineTransform before = *this;
    m11_ = cosine * before.m11_ + sine * before.m21_;
    m12_ = cosine * before.m12_ + sine * before.m22_;
    m21_ = -sine * before.m11_ + cosine * before.m21_;
    m22_ = -sine * before.m12_ + cosine * before.m22_;
    return *this;
}

Point AffineTransform::map(const Point& point) const {
    return {m11_ * point.x + m21_ * point.y + dx_, m12_ * point.x + m22_ * point.y + dy_};
}

} // namespace quorvane
