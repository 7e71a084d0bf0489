#include "support/PageVariants.h"

#include "support/RasterFixtures.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace quorvane::test {

Raster turnedPage(const Raster& page, int turnsCW) {
    static constexpr cv::RotateFlags flags[] = {cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                                cv::ROTATE_90_COUNTERCLOCKWISE};
    if (turnsCW < 1 || turnsCW > 3) {
        return page.clone();
    }
    Raster turned;
    cv::rotate(page, turned, flags[turnsCW - 1]);
    return turned;
}

Raster tiltedPage(const Raster& page, double degrees) {
    const double radians = degrees * CV_PI / 180;
    const double s = std::abs(std::sin(radians)), c = std::abs(std::cos(radians));
    const cv::Size canvas(int(std::ceil(c * page.cols + s * page.rows)),
                          int(std::ceil(s * page.cols + c * page.rows)));
    cv::Mat transform =
        cv::getRotationMatrix2D(cv::Point2f(page.cols / 2.0f, page.rows / 2.0f), degrees, 1.0);
    transform.at<double>(0, 2) += (canvas.width - page.cols) / 2.0;
    transform.at<double>(1, 2) += (canvas.height - page.rows) / 2.0;
    Raster tilted;
    cv::warpAffine(page, tilted, transform, canvas, cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(255, 255, 255));
    return tilted;
}

Raster keystonedPage(const Raster& page, double narrowing, double drop) {
    const float w = float(page.cols), h = float(page.rows);
    const cv::Point2f corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    const cv::Point2f seen[] = {{float(narrowing) * w, float(drop) * h},
                                {(1 - float(narrowing)) * w, float(drop) * h},
                                {w, h},
                                {0, h}};
    Raster keystoned;
    cv::warpPerspective(page, keystoned, cv::getPerspectiveTransform(corners, seen), page.size(),
                        cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    return keystoned;
}

std::vector<PageVariant> linnVariants() {
    const Raster linn = corpusRaster(QStringLiteral("linn.png"));
    if (linn.empty()) {
        return {};
    }
    std::vector<PageVariant> variants = {{QStringLiteral("upright"), linn}};
    for (double tilt : {1.0, 2.0, 4.0}) {
        variants.push_back({QStringLiteral("tilted %1 degrees").arg(tilt), tiltedPage(linn, tilt), 0, tilt});
    }
    variants.push_back({QStringLiteral("keystoned"), keystonedPage(linn), 0, 0, true});
    for (int turns : {1, 2, 3}) {
        variants.push_back(
            {QStringLiteral("turned %1 degrees").arg(turns * 90), turnedPage(linn, turns), turns});
    }
    return variants;
}

} // namespace quorvane::test
