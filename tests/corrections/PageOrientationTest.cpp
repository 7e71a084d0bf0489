#include "corrections/PageOrientation.h"

#include <gtest/gtest.h>

using namespace quorvane;
using PageOrientation::ProbeStats;

namespace {

ProbeStats withScore(double score) { return {score, 0, 0, 0}; }

// Stats of `lines` lines with `chars` characters read at a mean confidence `mean`.
ProbeStats read(double score, qint64 chars, qint64 lines, double mean) { return {score, chars, lines, chars * mean}; }

} // namespace

TEST(PageOrientation, ChoosesATurnOnlyWhenItWinsClearly) {
    const ProbeStats upright = read(100, 200, 10, 0.50);
    const struct {
        const char* name;
        std::vector<ProbeStats> candidates;
        int turns;
    } cases[] = {
        {"no candidates", {}, 0},
        {"three candidates", {withScore(0), withScore(50), withScore(0)}, 0},
        {"under twice the upright score", {withScore(500), withScore(900), withScore(10), withScore(10)}, 0},
        {"twice the upright score", {withScore(500), withScore(1000), withScore(10), withScore(10)}, 1},
        {"three turns win", {withScore(500), withScore(10), withScore(10), withScore(1200)}, 3},
        {"upright best", {withScore(500), withScore(400), withScore(300), withScore(200)}, 0},
        {"winner under the minimum score", {withScore(0.5), withScore(9.9), withScore(0), withScore(0)}, 0},
        {"winner at the minimum score", {withScore(0.5), withScore(0), withScore(10), withScore(0)}, 2},
        {"a tie keeps fewer turns", {withScore(1), withScore(40), withScore(0), withScore(40)}, 1},
        {"a tie with upright keeps upright", {withScore(40), withScore(40), withScore(0), withScore(40)}, 0},
        {"fallback: confidence clearly higher on enough lines",
         {upright, read(150, 200, 5, 0.66), withScore(0), withScore(0)}, 1},
        {"fallback: confidence rise too small", {upright, read(150, 200, 5, 0.64), withScore(0), withScore(0)}, 0},
        {"fallback: too few lines", {upright, read(150, 200, 4, 0.66), withScore(0), withScore(0)}, 0},
        {"fallback: no upright characters to compare",
         {read(100, 0, 10, 0), read(150, 200, 5, 0.9), withScore(0), withScore(0)}, 0},
        {"fallback: one upright line needs one candidate line",
         {read(30, 40, 1, 0.5), withScore(0), read(50, 60, 1, 0.7), withScore(0)}, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PageOrientation::choose(c.candidates), c.turns) << c.name;
    }
}

TEST(PageOrientation, StatsCountTrimmedCharactersOfLinesWithText) {
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

// (What reads well: a long upside-down page does not (CorrectionsCorpus), a short confident page
// does not either (OCRPipeline, "short, unsure").)

TEST(PageOrientation, DownscalesToALetterPagesPixelsAndKeepsAtLeastOnePixelAcross) {
    const Raster page(3300, 2550, CV_8UC3, cv::Scalar(200, 100, 50));
    const Raster small = PageOrientation::downscaled(page, PageOrientation::probeMaxDimension);
    EXPECT_EQ(small.cols, 927);
    EXPECT_EQ(small.rows, 1200);
    EXPECT_EQ(small.at<cv::Vec3b>(600, 400), cv::Vec3b(200, 100, 50));
    EXPECT_EQ(PageOrientation::downscaled(page, 3300).data, page.data);

    // A till receipt's strip keeps its shape and a letter page's pixels, not its longer side.
    const Raster receipt = PageOrientation::downscaled(Raster(6500, 960, CV_8UC1, cv::Scalar(0)), 1200);
    EXPECT_NEAR(double(receipt.total()), double(small.total()), 0.01 * double(small.total()));
    EXPECT_NEAR(double(receipt.rows) / receipt.cols, 6500.0 / 960, 0.02);
    const Raster thin = PageOrientation::downscaled(Raster(1, 2000000, CV_8UC3, cv::Scalar(0, 0, 0)), 1200);
    EXPECT_LT(thin.cols, 2000000);
    EXPECT_EQ(thin.rows, 1);
}
