#include "corrections/PageDeskew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace quorvane;

namespace {

double degrees(double value) { return value * std::numbers::pi / 180; }

std::vector<OCRLine> linesAt(std::initializer_list<double> angles, float confidence = 0.9f) {
    std::vector<OCRLine> lines;
    for (double angle : angles) {
        lines.push_back({"text", {0.1, 0.5, 0.8, 0.02}, confidence, angle});
    }
    return lines;
}

// The thresholds on a square raster, where normalised slopes are pixel slopes.
double estimate(const std::vector<OCRLine>& lines) {
    return PageDeskew::estimateAngle(lines, 1000, 1000);
}

// A line whose baseline rises `degreesUp` on a `width` x `height` raster, with its angle measured
// as the recognizer measures it: in coordinates normalised to the raster.
OCRLine lineTilted(double degreesUp, double width, double height) {
    const double length = 0.6 * width;
    const double dx = length * std::cos(degrees(degreesUp));
    const double dy = length * std::sin(degrees(degreesUp));
    return {"text", {0.1, 0.5, 0.6, 0.02}, 0.9f, std::atan2(dy / height, dx / width)};
}

} // namespace

TEST(PageDeskewEstimate, TheMedianOfConfidentLinesWithinLimits) {
    EXPECT_EQ(estimate({}), 0);
    EXPECT_EQ(estimate(linesAt({degrees(2), degrees(3)}, 0.3f)), 0); // exactly 0.3 is not enough
    EXPECT_EQ(estimate(linesAt({degrees(40), degrees(-20)})), 0);    // beyond 15 degrees
    EXPECT_DOUBLE_EQ(estimate(linesAt({degrees(3), degrees(40), degrees(1), degrees(2)})), degrees(2));
    EXPECT_DOUBLE_EQ(estimate(linesAt({degrees(2), degrees(1)})), degrees(2)); // even count: upper middle
    EXPECT_DOUBLE_EQ(estimate(linesAt({degrees(-1), degrees(-3), degrees(-2)})), degrees(-2));
    EXPECT_EQ(estimate(linesAt({degrees(0.29)})), 0);
    EXPECT_EQ(estimate(linesAt({-PageDeskew::minAngle})), -PageDeskew::minAngle);

    // Unconfident lines do not vote.
    auto lines = linesAt({degrees(1), degrees(1)});
    auto noisy = linesAt({degrees(9), degrees(9), degrees(9)}, 0.2f);
    lines.insert(lines.end(), noisy.begin(), noisy.end());
    EXPECT_DOUBLE_EQ(estimate(lines), degrees(1));
}

TEST(PageDeskewEstimate, MeasuresTheTiltInPixelsOfTheRaster) {
    // A portrait letter page at 300 DPI: normalised slopes understate the tilt by 2550 / 3300.
    for (double tilt : {1.0, -2.0, 4.0}) {
        const OCRLine line = lineTilted(tilt, 2550, 3300);
        EXPECT_NEAR(PageDeskew::estimateAngle({line, line, line}, 2550, 3300), degrees(tilt), 1e-12) << tilt;
        // Landscape overstates it in the same proportion.
        EXPECT_NEAR(PageDeskew::estimateAngle({lineTilted(tilt, 3300, 2550)}, 3300, 2550), degrees(tilt),
                    1e-12);
    }
    // The thresholds apply to the tilt in pixels: 0.25 degrees normalised on a page twice as tall
    // as wide is a 0.5 degree tilt; 10 degrees normalised there is beyond 15.
    const std::vector<OCRLine> slight = {{"text", {}, 0.9f, degrees(0.25)}};
    EXPECT_NEAR(PageDeskew::estimateAngle(slight, 1000, 2000), std::atan(std::tan(degrees(0.25)) * 2), 1e-12);
    EXPECT_EQ(PageDeskew::estimateAngle(slight, 2000, 1000), 0);
    EXPECT_EQ(PageDeskew::estimateAngle({{"text", {}, 0.9f, degrees(10)}}, 1000, 2000), 0);
    // Without a usable size the angles are taken as they are.
    EXPECT_EQ(PageDeskew::estimateAngle({{"text", {}, 0.9f, degrees(0.5)}}, 0, 0), degrees(0.5));
    EXPECT_EQ(PageDeskew::pixelAngle(degrees(0.5), -1, 100), degrees(0.5));
}

TEST(PageDeskewRotation, EnlargesTheCanvasAndFillsItWithWhiteOrSaysItCannot) {
    const Raster page(1400, 1000, CV_8UC3, cv::Scalar(40, 40, 40));
    const auto turned = PageDeskew::rotated(page, 0.05);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->cols, 1069);
    EXPECT_EQ(turned->rows, 1449);
    EXPECT_EQ(turned->type(), CV_8UC3);
    for (const cv::Point corner : {cv::Point(0, 0), cv::Point(1068, 0), cv::Point(0, 1448), cv::Point(1068, 1448)}) {
        EXPECT_EQ(turned->at<cv::Vec3b>(corner), cv::Vec3b(255, 255, 255));
    }
    EXPECT_EQ(turned->at<cv::Vec3b>(724, 534), cv::Vec3b(40, 40, 40)); // the middle is the page

    EXPECT_FALSE(PageDeskew::rotated(Raster(), 0.05));
    // A long strip turned by 45 degrees would need a canvas of twenty billion pixels.
    const Raster strip(1, 200000, CV_8UC3, cv::Scalar(0, 0, 0));
    EXPECT_FALSE(PageDeskew::rotated(strip, std::numbers::pi / 4));
}

// Which way a page is turned back, and the canvas its text layer is placed on, are shown end to
// end: tilted pages come out upright with their text on the words (PageCorrections).
