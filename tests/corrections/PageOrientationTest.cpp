#include "corrections/PageOrientation.h"

#include <gtest/gtest.h>

using namespace quorvane;
using PageOrientation::ProbeStats;

namespace {

ProbeStats withScore(double score) { return {score, 0, 0, 0}; }

// Stats of `lines` lines with `chars` characters read at a mean confidence `mean`.
ProbeStats read(double score, qint64 chars, qint64 lines, double mean) { return {score, chars, lines, chars * mean}; }

} // namespace

TEST(PageOrientationChoose, NeedsExactlyFourCandidates) {
    EXPECT_EQ(PageOrientation::choose({}), 0);
    EXPECT_EQ(PageOrientation::choose({withScore(0), withScore(50), withScore(0)}), 0);
    EXPECT_EQ(PageOrientation::choose({withScore(0), withScore(50), withScore(0), withScore(0), withScore(0)}), 0);
}

TEST(PageOrientationChoose, AWellReadUprightPageNeedsADoubleScoreToTurn) {
    EXPECT_EQ(PageOrientation::choose({withScore(500), withScore(900), withScore(10), withScore(10)}), 0);
    EXPECT_EQ(PageOrientation::choose({withScore(500), withScore(1000), withScore(10), withScore(10)}), 1);
    EXPECT_EQ(PageOrientation::choose({withScore(500), withScore(10), withScore(10), withScore(1200)}), 3);
    EXPECT_EQ(PageOrientation::choose({withScore(500), withScore(400), withScore(300), withScore(200)}), 0);
}

TEST(PageOrientationChoose, TheWinnerMustReachTheMinimumScore) {
    EXPECT_EQ(PageOrientation::choose({withScore(0.5), withScore(9.9), withScore(0), withScore(0)}), 0);
    EXPECT_EQ(PageOrientation::choose({withScore(0.5), withScore(0), withScore(10), withScore(0)}), 2);
    EXPECT_EQ(PageOrientation::choose({withScore(0), withScore(0), withScore(0), withScore(0)}), 0);
}

TEST(PageOrientationChoose, TiesKeepTheLowerNumberOfTurns) {
    EXPECT_EQ(PageOrientation::choose({withScore(1), withScore(40), withScore(0), withScore(40)}), 1);
    EXPECT_EQ(PageOrientation::choose({withScore(40), withScore(40), withScore(0), withScore(40)}), 0);
}

TEST(PageOrientationChoose, FallbackNeedsAClearConfidenceRiseOnEnoughLines) {
    const ProbeStats upright = read(100, 200, 10, 0.50);
    EXPECT_EQ(PageOrientation::choose({upright, read(150, 200, 5, 0.66), withScore(0), withScore(0)}), 1);
    EXPECT_EQ(PageOrientation::choose({upright, read(150, 200, 5, 0.64), withScore(0), withScore(0)}), 0);
    EXPECT_EQ(PageOrientation::choose({upright, read(150, 200, 4, 0.66), withScore(0), withScore(0)}), 0);
    // Without characters there is no confidence to compare.
    EXPECT_EQ(PageOrientation::choose({read(100, 0, 10, 0), read(150, 200, 5, 0.9), withScore(0), withScore(0)}), 0);
}

TEST(PageOrientationChoose, OneUprightLineNeedsOneCandidateLine) {
    const ProbeStats upright = read(30, 40, 1, 0.5);
    EXPECT_EQ(PageOrientation::choose({upright, withScore(0), read(50, 60, 1, 0.7), withScore(0)}), 2);
}

TEST(PageOrientationStats, CountsTrimmedCharactersOfLinesWithText) {
    const std::vector<OCRLine> lines = {
        {"  ab  ", {}, 0.8f, 0},
        {" \t\n", {}, 1.0f, 0},
        {"", {}, 1.0f, 0},
        {QString::fromUtf8("e\u0301t\u00e9\n"), {}, 0.4f, 0}, // three characters, one of them two code points
    };
    const ProbeStats s = PageOrientation::stats(lines);
    EXPECT_EQ(s.lineCount, 2);
    EXPECT_EQ(s.charCount, 5);
    EXPECT_NEAR(s.weightedConf, 2 * 0.8 + 3 * 0.4, 1e-6);
    EXPECT_NEAR(s.score, 2 * (0.25 + 0.75 * 0.8) + 3 * (0.25 + 0.75 * 0.4), 1e-6);
    EXPECT_EQ(PageOrientation::stats({{"   ", {}, 1.0f, 0}}), ProbeStats{});
}

TEST(PageOrientationReadsWell, NeedsEnoughCharactersReadConfidently) {
    const QString word = QStringLiteral("abcdefghij"); // ten characters
    std::vector<OCRLine> lines;
    for (int i = 0; i < PageOrientation::wellReadMinCharacters / 10; ++i) {
        lines.push_back({word, {}, float(PageOrientation::wellReadConfidence + 0.01), 0});
    }
    EXPECT_TRUE(PageOrientation::readsWell(lines));
    lines.pop_back();
    EXPECT_FALSE(PageOrientation::readsWell(lines)); // too few characters
    lines.push_back({word + word, {}, 0.1f, 0});
    EXPECT_FALSE(PageOrientation::readsWell(lines)); // enough characters, too low a mean
    EXPECT_FALSE(PageOrientation::readsWell({}));
}

TEST(PageOrientationBounds, OddTurnsSwapWidthAndHeight) {
    const Rect box{10, 20, 612, 792};
    EXPECT_EQ(PageOrientation::rotatedBounds(1, box), (Rect{0, 0, 792, 612}));
    EXPECT_EQ(PageOrientation::rotatedBounds(3, box), (Rect{0, 0, 792, 612}));
    EXPECT_EQ(PageOrientation::rotatedBounds(0, box), (Rect{0, 0, 612, 792}));
    EXPECT_EQ(PageOrientation::rotatedBounds(2, box), (Rect{0, 0, 612, 792}));
    EXPECT_EQ(PageOrientation::rotatedBounds(5, box), (Rect{0, 0, 612, 792}));
}

TEST(PageOrientationRaster, DownscalesTheLongerSide) {
    const Raster page(3300, 2550, CV_8UC3, cv::Scalar(200, 100, 50));
    const Raster small = PageOrientation::downscaled(page, PageOrientation::probeMaxDimension);
    EXPECT_EQ(small.cols, 927);
    EXPECT_EQ(small.rows, 1200);
    EXPECT_EQ(small.type(), CV_8UC3);
    EXPECT_EQ(small.at<cv::Vec3b>(600, 400), cv::Vec3b(200, 100, 50));

    const Raster strip(1, 5000, CV_8UC3, cv::Scalar(0, 0, 0));
    const Raster thin = PageOrientation::downscaled(strip, 1200);
    EXPECT_EQ(thin.cols, 1200);
    EXPECT_EQ(thin.rows, 1); // raised to one pixel

    EXPECT_TRUE(isSameRaster(PageOrientation::downscaled(page, 3300), page));
}

TEST(PageOrientationRaster, QuarterTurnsAreExactAndClockwise) {
    // A 3-wide, 2-high raster with its top-left pixel marked.
    Raster page(2, 3, CV_8UC3, cv::Scalar(255, 255, 255));
    const cv::Vec3b mark(255, 0, 0);
    page.at<cv::Vec3b>(0, 0) = mark;

    const Raster once = PageOrientation::rotated(page, 1);
    ASSERT_EQ(once.cols, 2);
    ASSERT_EQ(once.rows, 3);
    EXPECT_EQ(once.at<cv::Vec3b>(0, 1), mark); // top left went to top right
    const Raster twice = PageOrientation::rotated(page, 2);
    ASSERT_EQ(twice.size(), page.size());
    EXPECT_EQ(twice.at<cv::Vec3b>(1, 2), mark); // to bottom right
    const Raster thrice = PageOrientation::rotated(page, 3);
    ASSERT_EQ(thrice.cols, 2);
    EXPECT_EQ(thrice.at<cv::Vec3b>(2, 0), mark); // to bottom left
    EXPECT_EQ(cv::countNonZero(thrice.reshape(1) != 255), 2); // one pixel changed, no blending

    for (int turns : {0, 4, -1}) {
        EXPECT_TRUE(isSameRaster(PageOrientation::rotated(page, turns), page));
    }
}
