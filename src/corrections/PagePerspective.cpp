#include "corrections/PagePerspective.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace quorvane::PagePerspective {

namespace {

// Larger outputs than this are refused rather than risking an allocation of gigabytes.
constexpr double maxOutputPixels = 400.0 * 1000 * 1000;

struct HalfMeans {
    double angle = 0;
    double height = 0;
};

HalfMeans means(std::vector<OCRLine>::const_iterator begin, std::vector<OCRLine>::const_iterator end) {
    HalfMeans sum;
    const auto count = double(end - begin);
    for (auto it = begin; it != end; ++it) {
        sum.angle += it->angle;
        sum.height += it->boundingBox.height;
    }
    return {sum.angle / count, sum.height / count};
}

// Pulls both ends of an edge towards its middle by the fraction k.
void narrow(Point& left, Point& right, double k) {
    const double middle = (left.x + right.x) / 2;
    left.x = middle - (middle - left.x) * (1 - k);
    right.x = middle + (right.x - middle) * (1 - k);
}

} // namespace

std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines, double /*width*/,
                                        double /*height*/) {
    std::vector<OCRLine> confident;
    for (const auto& line : lines) {
        if (line.confidence > minLineConfidence) {
            confident.push_back(line);
        }
    }
    if (confident.size() < std::size_t(minLineCount)) {
        return std::nullopt;
    }

    std::vector<OCRLine> sorted = confident;
    std::stable_sort(sorted.begin(), sorted.end(), [](const OCRLine& a, const OCRLine& b) {
        return a.boundingBox.midY() > b.boundingBox.midY();
    });
    const auto split = sorted.begin() + std::ptrdiff_t(sorted.size() / 2);
    const HalfMeans upper = means(sorted.begin(), split);
    const HalfMeans lower = means(split, sorted.end());
    const double angleGradient = std::abs(upper.angle - lower.angle);
    const double heightGradient = std::abs(upper.height - lower.height) / std::max(upper.height, lower.height);
    if (angleGradient < minAngleGradient && heightGradient < minHeightGradient) {
        return std::nullopt;
    }
    if (angleGradient >= maxAngleGradient) {
        return std::nullopt;
    }

    // The top edge is the topmost line's extent, the bottom edge the bottommost line's; on ties
    // the earlier line in recognition order stays.
    double top = 0.0, bottom = 1.0;
    Point topLeft{1.0, 0}, topRight{0.0, 0}, bottomLeft{1.0, 0}, bottomRight{0.0, 0};
    for (const auto& line : confident) {
        const Rect& box = line.boundingBox;
        if (box.maxY() > top) {
            top = box.maxY();
            topLeft.x = box.minX();
            topRight.x = box.maxX();
        }
        if (box.minY() < bottom) {
            bottom = box.minY();
            bottomLeft.x = box.minX();
            bottomRight.x = box.maxX();
        }
    }
    topLeft.y = topRight.y = top;
    bottomLeft.y = bottomRight.y = bottom;

    if (top - bottom < minSpan ||
        std::max(topRight.x, bottomRight.x) - std::min(topLeft.x, bottomLeft.x) < minSpan) {
        return std::nullopt;
    }
    const double topWidth = topRight.x - topLeft.x;
    const double bottomWidth = bottomRight.x - bottomLeft.x;
    if (!(topWidth > 0 && bottomWidth > 0) ||
        std::min(topWidth, bottomWidth) < minEdgeRatio * std::max(topWidth, bottomWidth)) {
        return std::nullopt;
    }

    // The far edge of a page photographed at an angle looks shorter and its lines smaller: pulling
    // that edge of the quadrilateral in makes the warp widen the far side.
    const double k = std::min(maxNarrowing * angleGradient / maxAngleGradient, maxNarrowing);
    bool narrowTop = false, narrowBottom = false;
    if (heightGradient > minHeightGradient) {
        (lower.height > upper.height ? narrowTop : narrowBottom) = true;
    } else if (angleGradient > minAngleGradient) {
        (upper.angle > lower.angle ? narrowTop : narrowBottom) = true;
    }
    if (narrowTop) {
        narrow(topLeft, topRight, k);
    }
    if (narrowBottom) {
        narrow(bottomLeft, bottomRight, k);
    }

    Point* corners[] = {&topLeft, &topRight, &bottomLeft, &bottomRight};
    for (const Point* corner : corners) {
        for (double value : {corner->x, corner->y}) {
            if (value < -cornerTolerance || value > 1 + cornerTolerance) {
                return std::nullopt;
            }
        }
    }
    for (Point* corner : corners) {
        corner->x = std::clamp(corner->x, 0.0, 1.0);
        corner->y = std::clamp(corner->y, 0.0, 1.0);
    }
    return PerspectiveParams{topLeft, topRight, bottomLeft, bottomRight, angleGradient, heightGradient};
}

std::optional<Raster> apply(const Raster& raster, const PerspectiveParams& params, double width,
                            double height) {
    const double outWidth = std::round(width);
    const double outHeight = std::round(height);
    if (raster.empty() || !(outWidth >= 1 && outHeight >= 1) || !(outWidth * outHeight <= maxOutputPixels)) {
        return std::nullopt;
    }
    // Normalised y grows upwards, raster rows downwards. Pixel centres sit at whole coordinates,
    // so the page's edges lie half a pixel outside the outermost centres.
    const auto pixel = [&](const Point& p) {
        return cv::Point2f(float(p.x * width - 0.5), float((1 - p.y) * height - 0.5));
    };
    const cv::Point2f source[] = {pixel(params.topLeft), pixel(params.topRight), pixel(params.bottomRight),
                                  pixel(params.bottomLeft)};
    // The corners go to the corners of the quadrilateral's own bounding box, and the rest of the
    // page follows the same transform. Stretching the quadrilateral over the whole raster instead
    // would cut off the margins and every word reaching further out than the topmost and
    // bottommost lines, from the page image and from its text.
    const float left = std::min(source[0].x, source[3].x), right = std::max(source[1].x, source[2].x);
    const float top = std::min(source[0].y, source[1].y), lower = std::max(source[2].y, source[3].y);
    const cv::Point2f target[] = {{left, top}, {right, top}, {right, lower}, {left, lower}};
    try {
        const cv::Mat transform = cv::getPerspectiveTransform(source, target);
        if (!cv::checkRange(transform) || std::abs(cv::determinant(transform)) < 1e-12) {
            return std::nullopt;
        }
        Raster result;
        cv::warpPerspective(raster, result, transform, cv::Size(int(outWidth), int(outHeight)),
                            cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
        return result;
    } catch (const cv::Exception&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace quorvane::PagePerspective
