#include "corrections/PagePerspective.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

using namespace quorvane;
using PagePerspective::PerspectiveParams;

namespace {

struct Block {
    int count = 10;
    double top = 0.9, bottom = 0.1; // the text block's vertical extent
    double upperAngle = 0, lowerAngle = 0;
    double upperHeight = 0.02, lowerHeight = 0.02;
    float confidence = 0.9f;
};

// Lines spread evenly from the block's top to its bottom, each spanning x 0.1..0.9, in reading order.
std::vector<OCRLine> lines(const Block& block) {
    std::vector<OCRLine> result;
    for (int i = 0; i < block.count; ++i) {
        const bool upper = i < block.count / 2;
        const double height = upper ? block.upperHeight : block.lowerHeight;
        const double maxY = block.top - (block.top - block.bottom - height) * i / (block.count - 1);
        result.push_back({"line", {0.1, maxY - height, 0.8, height}, block.confidence,
                          upper ? block.upperAngle : block.lowerAngle});
    }
    return result;
}

std::optional<PerspectiveParams> detect(const std::vector<OCRLine>& lines) {
    return PagePerspective::detect(lines, 2550, 3300);
}

} // namespace

TEST(PagePerspectiveDetect, NothingToCorrectWithoutFourConfidentLinesAndAGradient) {
    EXPECT_FALSE(detect(lines({.count = 3, .upperAngle = 0.05})));
    auto some = lines({.count = 3, .upperAngle = 0.05});
    auto unsure = lines({.count = 8, .upperAngle = 0.05, .confidence = 0.3f});
    some.insert(some.end(), unsure.begin(), unsure.end());
    EXPECT_FALSE(detect(some));
    EXPECT_FALSE(detect(lines({})));
    EXPECT_FALSE(detect(lines({.upperAngle = 0.3})));                              // beyond 15 degrees
    EXPECT_FALSE(detect(lines({.top = 0.75, .bottom = 0.2, .upperAngle = 0.02}))); // spans only 0.55
}

TEST(PagePerspectiveDetect, AngleGradientNarrowsTheTopEdge) {
    const auto params = detect(lines({.upperAngle = 0.02}));
    ASSERT_TRUE(params);
    const double k = 0.08 * 0.02 / 0.2617993877991494;
    EXPECT_NEAR(params->angleGradient, 0.02, 1e-12);
    EXPECT_NEAR(params->heightGradient, 0, 1e-12);
    EXPECT_NEAR(params->topLeft.x, 0.5 - 0.4 * (1 - k), 1e-12);
    EXPECT_NEAR(params->topRight.x, 0.89756, 1e-5);
    EXPECT_NEAR(params->topLeft.y, 0.9, 1e-12);
    EXPECT_NEAR(params->bottomLeft.x, 0.1, 1e-12);
    EXPECT_NEAR(params->bottomRight.x, 0.9, 1e-12);
    EXPECT_NEAR(params->bottomRight.y, 0.1, 1e-12);

    // The other way round the bottom edge is narrowed.
    const auto flipped = detect(lines({.lowerAngle = 0.02}));
    ASSERT_TRUE(flipped);
    EXPECT_NEAR(flipped->topLeft.x, 0.1, 1e-12);
    EXPECT_NEAR(flipped->bottomLeft.x, 0.10244, 1e-5);
}

TEST(PagePerspectiveDetect, TallerLowerLinesNarrowTheTopEdgeByTheAngleGradient) {
    const auto params = detect(lines({.upperAngle = 0.005, .upperHeight = 0.02, .lowerHeight = 0.022}));
    ASSERT_TRUE(params);
    EXPECT_NEAR(params->heightGradient, 0.0909, 1e-4);
    const double k = 0.08 * 0.005 / 0.2617993877991494;
    EXPECT_NEAR(params->topLeft.x, 0.5 - 0.4 * (1 - k), 1e-12);
    EXPECT_NEAR(params->bottomLeft.x, 0.1, 1e-12);
    // Taller upper lines narrow the bottom edge.
    const auto flipped = detect(lines({.upperAngle = 0.005, .upperHeight = 0.022, .lowerHeight = 0.02}));
    ASSERT_TRUE(flipped);
    EXPECT_NEAR(flipped->bottomLeft.x, 0.5 - 0.4 * (1 - k), 1e-12);
}

TEST(PagePerspectiveDetect, RejectsUnevenEdgesAndCornersOffThePage) {
    auto shortTop = lines({.upperAngle = 0.02});
    shortTop.front().boundingBox = {0.1, 0.88, 0.3, 0.02}; // top edge 0.3 against a bottom edge of 0.8
    EXPECT_FALSE(detect(shortTop));

    auto high = lines({.top = 1.03, .upperAngle = 0.02});
    EXPECT_FALSE(detect(high));
    const auto clamped = detect(lines({.top = 1.01, .upperAngle = 0.02}));
    ASSERT_TRUE(clamped);
    EXPECT_EQ(clamped->topLeft.y, 1.0);
    EXPECT_EQ(clamped->topRight.y, 1.0);
}

TEST(PagePerspectiveDetect, CornersComeFromTheFirstTopmostAndBottommostLines) {
    auto block = lines({.upperAngle = 0.02});
    // A second line as high as the first, later in reading order, does not take the top edge.
    block.push_back({"late", {0.3, 0.88, 0.5, 0.02}, 0.9f, 0.02});
    const auto params = detect(block);
    ASSERT_TRUE(params);
    EXPECT_NEAR(params->bottomLeft.x, 0.1, 1e-12);
    EXPECT_GT(params->topRight.x, 0.89);
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
}

TEST(PagePerspectiveApply, SaysSoWhenTheWarpCannotBeMade) {
    const Raster page(100, 100, CV_8UC3, cv::Scalar(255, 255, 255));
    const PerspectiveParams collapsed{{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, 0.02, 0};
    EXPECT_FALSE(PagePerspective::apply(page, collapsed, 100, 100));
    const PerspectiveParams fine{{0.1, 0.9}, {0.9, 0.9}, {0.1, 0.1}, {0.9, 0.1}, 0.02, 0};
    EXPECT_FALSE(PagePerspective::apply(Raster(), fine, 100, 100));
    EXPECT_FALSE(PagePerspective::apply(page, fine, 0, 100));
}
