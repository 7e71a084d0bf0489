#include "corrections/PagePerspective.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

using namespace quorvane;
using PagePerspective::PerspectiveParams;

namespace {

constexpr double pageWidth = 2550, pageHeight = 3300;

struct Text {
    int count = 30;
    double left = 0.12, right = 0.88; // the margins of the flat page
    bool justified = true;            // otherwise the right ends are ragged
    double narrowing = 0;             // how much narrower the top line is than the foot, as photographed
    double growth = 0;                // how much taller the top lines are than the foot's, as set
};

// Body lines from y 0.85 down to 0.15, every fifth indented and every seventh a short last line,
// as read from a photograph whose text is narrowed towards its top (about the middle, x 0.5),
// the lines' heights shrinking alike.
std::vector<OCRLine> body(const Text& text) {
    std::vector<OCRLine> lines;
    for (int i = 0; i < text.count; ++i) {
        const double share = 1 - double(i) / (text.count - 1); // 1 at the top, 0 at the foot
        const double y = 0.15 + 0.7 * share;
        const double scale = 1 - text.narrowing * share;
        double left = text.left + (i % 5 == 0 ? 0.03 : 0);
        double right = text.justified ? text.right : text.right - 0.06 * ((i * 37) % 11) / 10.0;
        if (i % 7 == 6) {
            right = 0.4;
        }
        const double height = 0.012 * scale * (1 + text.growth * share);
        lines.push_back({"line", {0.5 + (left - 0.5) * scale, y, (right - left) * scale, height}, 0.9f, 0});
    }
    return lines;
}

std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines) {
    return PagePerspective::detect(lines, pageWidth, pageHeight);
}

OCRLine line(double minX, double maxX, double minY, double height) {
    return {"line", {minX, minY, maxX - minX, height}, 0.9f, 0};
}

double topToFoot(const PerspectiveParams& params) {
    return (params.topRight.x - params.topLeft.x) / (params.bottomRight.x - params.bottomLeft.x);
}

} // namespace

TEST(PagePerspectiveDetect, FlatLayoutsAreLeftAlone) {
    // A centred title set larger than the text, and a larger first line.
    auto titled = body({});
    titled.push_back(line(0.3, 0.7, 0.9, 0.025));
    titled.push_back(line(0.12, 0.6, 0.87, 0.02));
    EXPECT_FALSE(detect(titled));
    // Ragged lines, and a page whose lines grow towards the top.
    EXPECT_FALSE(detect(body({.justified = false, .growth = 0.3})));
    // Two columns under a line across them.
    auto columns = body({.right = 0.48});
    for (const auto& l : body({.left = 0.52})) {
        columns.push_back(l);
    }
    columns.push_back(line(0.12, 0.88, 0.9, 0.012));
    EXPECT_FALSE(detect(columns));
    // A bulleted list: bullets on the margin, wrapped lines further in.
    std::vector<OCRLine> bullets;
    for (int i = 0; i < 24; ++i) {
        bullets.push_back(
            line(i % 2 ? 0.15 : 0.12, i % 2 ? 0.5 + 0.01 * (i % 7) : 0.86, 0.85 - 0.028 * i, 0.012));
    }
    EXPECT_FALSE(detect(bullets));
    // A keystone too slight to matter or too strong to believe, lines that turn by 15 degrees
    // or more from the top half to the bottom one, and too few lines.
    EXPECT_FALSE(detect(body({.narrowing = 0.03})));
    EXPECT_FALSE(detect(body({.narrowing = 0.7})));
    auto turning = body({.narrowing = 0.2});
    for (std::size_t i = 0; i < turning.size() / 2; ++i) {
        turning[i].angle = 0.27;
    }
    EXPECT_FALSE(detect(turning));
    auto few = body({.narrowing = 0.2});
    few.resize(3);
    EXPECT_FALSE(detect(few));
}

TEST(PagePerspectiveDetect, ConvergingMarginsGiveTheTextBlockAsPhotographed) {
    const auto params = detect(body({.narrowing = 0.2}));
    ASSERT_TRUE(params);
    EXPECT_NEAR(topToFoot(*params), 0.8, 0.02);
    EXPECT_NEAR(params->bottomLeft.x, 0.12, 0.01);
    EXPECT_NEAR(params->bottomRight.x, 0.88, 0.01);
    EXPECT_GT(params->topLeft.y, 0.85);
    EXPECT_LT(params->bottomLeft.y, 0.16);
    EXPECT_EQ(params->topLeft.y, params->topRight.y);

    // Photographed from the other side: the foot is the narrower edge.
    auto flipped = body({.narrowing = 0.2});
    for (auto& l : flipped) {
        l.boundingBox.y = 1 - l.boundingBox.y - l.boundingBox.height;
    }
    const auto bottomNarrower = detect(flipped);
    ASSERT_TRUE(bottomNarrower);
    EXPECT_NEAR(1 / topToFoot(*bottomNarrower), 0.8, 0.02);
}

TEST(PagePerspectiveDetect, OneMarginNeedsLinesThatDoNotGrowTowardsTheNarrowEdge) {
    const auto ragged = detect(body({.justified = false, .narrowing = 0.2}));
    ASSERT_TRUE(ragged);
    EXPECT_NEAR(topToFoot(*ragged), 0.8, 0.03);
    // The same left edge with lines set ever larger towards the top: a slanted layout.
    EXPECT_FALSE(detect(body({.justified = false, .narrowing = 0.2, .growth = 0.5})));
}

TEST(PagePerspectiveApply, MapsTheQuadrilateralOntoItsBoundingRectangleAndKeepsThePage) {
    const int width = 400, height = 300;
    Raster page(height, width, CV_8UC3, cv::Scalar(255, 255, 255));
    // The quadrilateral, in pixels with y down: a trapezoid narrower at the top.
    const PerspectiveParams params{{0.2, 0.8}, {0.8, 0.8}, {0.1, 0.1}, {0.9, 0.1}, 0.02, 0};
    const auto at = [&](const Point& p, double dx, double dy) {
        return cv::Point(int(p.x * width + dx), int((1 - p.y) * height + dy));
    };
    // A red mark just inside the top-left corner, a blue one inside the bottom-right, and a green
    // one outside the quadrilateral, right of its top edge, as a word reaching further out than
    // the topmost line would be.
    cv::circle(page, at(params.topLeft, 12, 12), 5, cv::Scalar(255, 0, 0), cv::FILLED);
    cv::circle(page, at(params.bottomRight, -12, -12), 5, cv::Scalar(0, 0, 255), cv::FILLED);
    cv::circle(page, at(params.topRight, 20, 30), 5, cv::Scalar(0, 255, 0), cv::FILLED);

    const auto warped = PagePerspective::apply(page, params, width, height);
    ASSERT_TRUE(warped);
    ASSERT_EQ(warped->cols, width);
    ASSERT_EQ(warped->rows, height);
    const auto centreOf = [&](const cv::Scalar& low, const cv::Scalar& high) {
        cv::Mat mask;
        cv::inRange(*warped, low, high, mask);
        const cv::Moments m = cv::moments(mask, true);
        return m.m00 > 0 ? cv::Point2d(m.m10 / m.m00, m.m01 / m.m00) : cv::Point2d(-1, -1);
    };
    const cv::Point2d red = centreOf({200, 0, 0}, {255, 80, 80});
    const cv::Point2d blue = centreOf({0, 0, 200}, {80, 80, 255});
    const cv::Point2d green = centreOf({0, 200, 0}, {80, 255, 80});
    // The narrow top edge is widened to the bottom edge's extent (x 40..360); the bottom edge and
    // the heights stay. Top left stays top left and bottom right bottom right: nothing is
    // mirrored or upside down.
    EXPECT_GT(red.x, 40);
    EXPECT_LT(red.x, 40 + 30);
    EXPECT_NEAR(red.y, 0.2 * height + 12, 6);
    EXPECT_NEAR(blue.x, 0.9 * width - 12, 3);
    EXPECT_NEAR(blue.y, 0.9 * height - 12, 3);
    // What lies outside the quadrilateral is moved with it, not cut off.
    EXPECT_GT(green.x, 360);
    EXPECT_LT(green.x, width - 5);
    // The page's white margins stay white.
    EXPECT_EQ(warped->at<cv::Vec3b>(height - 3, width / 2), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(warped->at<cv::Vec3b>(height / 2, 3), cv::Vec3b(255, 255, 255));

    // A page of black and white gains no greys.
    Raster bilevel(height, width, CV_8UC1, cv::Scalar(255));
    cv::circle(bilevel, at(params.topLeft, 40, 40), 20, cv::Scalar(0), cv::FILLED);
    const auto warpedBilevel = PagePerspective::apply(bilevel, params, width, height);
    ASSERT_TRUE(warpedBilevel);
    EXPECT_EQ(cv::countNonZero((*warpedBilevel != 0) & (*warpedBilevel != 255)), 0);
    EXPECT_GT(cv::countNonZero(*warpedBilevel == 0), 900);

    // Says so when the warp cannot be made.
    const PerspectiveParams collapsed{{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, 0.02, 0};
    EXPECT_FALSE(PagePerspective::apply(bilevel, collapsed, 100, 100));
    EXPECT_FALSE(PagePerspective::apply(Raster(), params, 100, 100));
    EXPECT_FALSE(PagePerspective::apply(bilevel, params, 0, 100));
}
