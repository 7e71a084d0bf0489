#include "corrections/PagePerspective.h"

#include "corrections/PageDeskew.h"
#include "corrections/TextMargins.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvane::PagePerspective {

namespace {

using TextMargins::LineBox;
using TextMargins::Margin;

// Larger outputs than this are refused rather than risking an allocation of gigabytes.
constexpr double maxOutputPixels = 400.0 * 1000 * 1000;

// Two margins measure the convergence only when they lie this share of the text's width apart.
constexpr double minMarginSeparation = 0.25;
// Without a second margin, the lines towards the narrow edge may be taller than those towards
// the wide edge by no more than this share (a larger heading, measuring noise).
constexpr double maxHeightContradiction = 0.05;

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

double median(std::vector<double> values) {
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// How much smaller the lines of the upper third of the text are than those of the lower third.
double heightShrinkUpwards(std::vector<LineBox> lines) {
    std::sort(lines.begin(), lines.end(),
              [](const LineBox& a, const LineBox& b) { return a.middle() < b.middle(); });
    const std::size_t third = lines.size() / 3;
    if (third == 0) {
        return 0;
    }
    std::vector<double> lower, upper;
    for (std::size_t i = 0; i < third; ++i) {
        lower.push_back(lines[i].height());
        upper.push_back(lines[lines.size() - 1 - i].height());
    }
    return 1 - median(upper) / median(lower);
}

// The margins of a keystoned page meet in one vanishing point (x, foot + 1 / convergence): each
// leans by (x - where it stands at the text's foot) × convergence. Convergence is positive when
// the top of the text is its narrower edge.
struct Vanishing {
    double x = 0;
    double convergence = 0;
};

// From margins far enough apart: a least-squares line through their leans against where they
// stand at the foot, each weighted by how sure its lean is. A skew left after deskew tilts every
// margin alike and drops out.
std::optional<Vanishing> fromMargins(const std::vector<Margin>& margins, double foot, double textWidth) {
    double sw = 0, sx = 0, sb = 0, sxx = 0, sxb = 0;
    double leftmost = std::numeric_limits<double>::max(), rightmost = std::numeric_limits<double>::lowest();
    for (const Margin& margin : margins) {
        const double x = margin.xAt(foot);
        const double span = margin.high - margin.low;
        const double weight = margin.lines * span * span;
        sw += weight;
        sx += weight * x;
        sb += weight * margin.b;
        sxx += weight * x * x;
        sxb += weight * x * margin.b;
        leftmost = std::min(leftmost, x);
        rightmost = std::max(rightmost, x);
    }
    const double spread = sw * sxx - sx * sx;
    if (rightmost - leftmost < minMarginSeparation * textWidth || !(spread > 0)) {
        return std::nullopt;
    }
    const double convergence = -(sw * sxb - sx * sb) / spread;
    if (convergence == 0) {
        return std::nullopt;
    }
    return Vanishing{(sb + convergence * sx) / sw / convergence, convergence};
}

// From the one margin there is (ragged text has no right margin): its lean, less the tilt of the
// lines, points to a vanishing point above or below the middle of the text, as a camera held
// over the page sees it.
std::optional<Vanishing> fromMargin(const Margin& margin, double foot, double middle, double textWidth,
                                    double lineTilt) {
    const double offset = middle - margin.xAt(foot);
    if (std::abs(offset) < minMarginSeparation * textWidth) {
        return std::nullopt;
    }
    return Vanishing{middle, (margin.b + std::tan(lineTilt)) / offset};
}

} // namespace

std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines, double width, double height) {
    std::vector<OCRLine> confident;
    for (const auto& line : lines) {
        // Tesseract reports blank stretches of a photo's background as lines without text.
        if (line.confidence > minLineConfidence && !line.text.trimmed().isEmpty()) {
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
    if (!(angleGradient < maxAngleGradient)) {
        return std::nullopt;
    }

    // In pixels, so that a lean means the same on every page shape.
    const double w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    std::vector<LineBox> boxes;
    std::vector<double> heights, tilts;
    double leftmost = std::numeric_limits<double>::max(), rightmost = std::numeric_limits<double>::lowest();
    for (const auto& line : confident) {
        const Rect& box = line.boundingBox;
        boxes.push_back({box.minX() * w, box.maxX() * w, box.minY() * h, box.maxY() * h});
        heights.push_back(box.height * h);
        tilts.push_back(PageDeskew::pixelAngle(line.angle, w, h));
        leftmost = std::min(leftmost, box.minX() * w);
        rightmost = std::max(rightmost, box.maxX() * w);
    }
    const double textWidth = rightmost - leftmost;
    const double lineHeight = median(heights);

    std::vector<Margin> margins = TextMargins::find(boxes, TextMargins::Side::left, minMarginSpan * h);
    for (const Margin& margin : TextMargins::find(boxes, TextMargins::Side::right, minMarginSpan * h)) {
        margins.push_back(margin);
    }
    if (margins.empty()) {
        return std::nullopt;
    }
    // The text block reaches from the lowest to the highest line end on a margin.
    double top = std::numeric_limits<double>::lowest(), foot = std::numeric_limits<double>::max();
    for (const Margin& margin : margins) {
        top = std::max(top, margin.high + lineHeight / 2);
        foot = std::min(foot, margin.low - lineHeight / 2);
    }
    auto vanishing = fromMargins(margins, foot, textWidth);
    const bool oneMargin = !vanishing;
    if (oneMargin) {
        const Margin& strongest =
            *std::max_element(margins.begin(), margins.end(),
                              [](const Margin& a, const Margin& b) { return a.lines < b.lines; });
        vanishing = fromMargin(strongest, foot, (leftmost + rightmost) / 2, textWidth, median(tilts));
        if (!vanishing) {
            return std::nullopt;
        }
    }
    // The share by which the top edge of the text is narrower than its foot (negative: wider).
    const double narrowing = vanishing->convergence * (top - foot);
    if (!(std::abs(narrowing) >= minNarrowing && std::abs(narrowing) <= maxNarrowing)) {
        return std::nullopt;
    }
    // One margin could be a slanted edge of the layout: then the lines must at least not grow
    // towards the edge that it takes for the farther one.
    if (oneMargin && heightShrinkUpwards(boxes) * (narrowing > 0 ? 1 : -1) < -maxHeightContradiction) {
        return std::nullopt;
    }

    // The text block as the margins see it: every line's ends taken back to the scale of the
    // foot, and the outermost of them carried up to the top towards the vanishing point.
    const auto scaleAt = [&](double y) { return 1 - vanishing->convergence * (y - foot); };
    double left = std::numeric_limits<double>::max(), right = std::numeric_limits<double>::lowest();
    for (const LineBox& line : boxes) {
        if (line.middle() >= foot && line.middle() <= top) {
            const double scale = scaleAt(line.middle());
            left = std::min(left, vanishing->x + (line.left - vanishing->x) / scale);
            right = std::max(right, vanishing->x + (line.right - vanishing->x) / scale);
        }
    }
    const auto atTop = [&](double x) { return vanishing->x + (x - vanishing->x) * scaleAt(top); };
    PerspectiveParams params{{atTop(left) / w, top / h},
                             {atTop(right) / w, top / h},
                             {left / w, foot / h},
                             {right / w, foot / h},
                             angleGradient,
                             heightGradient};

    Point* corners[] = {&params.topLeft, &params.topRight, &params.bottomLeft, &params.bottomRight};
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
    return params;
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
        // A page of pure black and white stays so (and compact when stored), rather than gaining
        // the greys of interpolation.
        if (raster.channels() == 1 && cv::countNonZero((raster != 0) & (raster != 255)) == 0) {
            cv::threshold(result, result, 127, 255, cv::THRESH_BINARY);
        }
        return result;
    } catch (const cv::Exception&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace quorvane::PagePerspective
