#include "corrections/PageDeskew.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace quorvane::PageDeskew {

namespace {

// Larger canvases than this are refused rather than risking an allocation of gigabytes.
constexpr double maxCanvasPixels = 400.0 * 1000 * 1000;

Size rotatedSize(double angle, double width, double height) {
    const double s = std::abs(std::sin(angle));
    const double c = std::abs(std::cos(angle));
    return {c * width + s * height, s * width + c * height};
}

} // namespace

double pixelAngle(double normalisedAngle, double width, double height) {
    // A square frame, or one of unknown size, needs no conversion (and keeps the exact value).
    if (!(width > 0 && height > 0) || width == height) {
        return normalisedAngle;
    }
    // The normalised slope dy/H over dx/W is the pixel slope dy/dx times W/H.
    return std::atan2(std::sin(normalisedAngle) * height, std::cos(normalisedAngle) * width);
}

double estimateAngle(const std::vector<OCRLine>& lines, double width, double height) {
    std::vector<double> angles;
    for (const auto& line : lines) {
        const double angle = pixelAngle(line.angle, width, height);
        if (line.confidence > minLineConfidence && std::abs(angle) < maxAngle) {
            angles.push_back(angle);
        }
    }
    if (angles.empty()) {
        return 0;
    }
    // For an even count this takes the upper of the two middle values.
    const auto middle = angles.begin() + std::ptrdiff_t(angles.size() / 2);
    std::nth_element(angles.begin(), middle, angles.end());
    const double median = *middle;
    return std::abs(median) >= minAngle ? median : 0;
}

std::optional<Raster> rotated(const Raster& raster, double angle) {
    if (!(std::abs(angle) > rotationThreshold)) {
        return raster;
    }
    if (raster.empty()) {
        return std::nullopt;
    }
    const Size canvas = rotatedSize(angle, raster.cols, raster.rows);
    const double width = std::ceil(canvas.width);
    const double height = std::ceil(canvas.height);
    if (!(width * height <= maxCanvasPixels)) {
        return std::nullopt;
    }
    try {
        // OpenCV's positive angles turn counter-clockwise as seen on screen, as ours do. Pixel
        // centres sit at whole coordinates, so the middle of a w-pixel row is (w - 1) / 2.
        const cv::Point2f centre((raster.cols - 1) / 2.0f, (raster.rows - 1) / 2.0f);
        cv::Mat transform = cv::getRotationMatrix2D(centre, angle * 180 / std::numbers::pi, 1.0);
        transform.at<double>(0, 2) += (width - raster.cols) / 2;
        transform.at<double>(1, 2) += (height - raster.rows) / 2;
        Raster result;
        cv::warpAffine(raster, result, transform, cv::Size(int(width), int(height)), cv::INTER_CUBIC,
                       cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
        return result;
    } catch (const cv::Exception&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

Rect deskewedBounds(double angle, const Rect& rect) {
    if (!(std::abs(angle) > rotationThreshold)) {
        return rect;
    }
    const Size size = rotatedSize(angle, rect.width, rect.height);
    return {0, 0, size.width, size.height};
}

} // namespace quorvane::PageDeskew
