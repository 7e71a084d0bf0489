// The corrections on real recognitions of a corpus page: linn.png upright, tilted by 1, 2 and 4
// degrees, keystoned, and turned by 90, 180 and 270 degrees. Each variant is recognised once, as
// the pipeline's first pass would (accurate, English), all of them concurrently, and every check
// works from those results: they are one test, as ctest runs each test in a process of its own.
// What the probe then decides on turned pages is shown end to end, on the same variants, by the
// page-corrections test of quorvane-cli.

#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "platform/TesseractOCRService.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QtConcurrent/QtConcurrentMap>
#include <gtest/gtest.h>

#include <cstdio>
#include <numbers>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Recognised {
    PageVariant variant;
    std::vector<OCRLine> firstPass;
};

std::vector<Recognised> recognise(std::vector<PageVariant> variants) {
    std::vector<Recognised> result;
    for (auto& variant : variants) {
        result.push_back({std::move(variant), {}});
    }
    const TesseractOCRService ocr;
    QtConcurrent::blockingMap(
        result, [&](Recognised& page) { page.firstPass = ocr.recognize(page.variant.raster, englishOnly()); });
    return result;
}

double meanConfidence(const PageOrientation::ProbeStats& stats) {
    return stats.charCount > 0 ? stats.weightedConf / double(stats.charCount) : 0;
}

std::string nameOf(const Recognised& page) {
    return page.variant.name.toStdString();
}

} // namespace

TEST(CorrectionsCorpus, FirstPassesOfUprightTiltedKeystonedAndTurnedPages) {
    const std::vector<Recognised> all = recognise(linnVariants());
    ASSERT_EQ(all.size(), 8u);

    {
        // A turned page's lines are kept, only trusted less.
        SCOPED_TRACE("the probe is skipped on upright pages and never on turned ones, read with low confidence");
        for (const auto& page : all) {
            const auto stats = PageOrientation::stats(page.firstPass);
            std::printf("%-20s first pass: %3lld lines %5lld characters, mean confidence %.3f\n",
                        nameOf(page).c_str(), stats.lineCount, stats.charCount, meanConfidence(stats));
            EXPECT_EQ(PageOrientation::readsWell(page.firstPass), page.variant.turnsCW == 0) << nameOf(page);
            if (page.variant.turnsCW != 0) {
                EXPECT_GT(page.firstPass.size(), 40u) << nameOf(page);
                EXPECT_LT(meanConfidence(stats), 0.5) << nameOf(page);
            }
        }
    }
    {
        SCOPED_TRACE("deskew measures the tilt");
        for (const auto& page : all) {
            if (page.variant.turnsCW != 0) {
                continue;
            }
            const Raster& raster = page.variant.raster;
            const double estimate =
                PageDeskew::estimateAngle(page.firstPass, raster.cols, raster.rows) * 180 / std::numbers::pi;
            std::printf("%-20s skew estimate %.3f degrees\n", nameOf(page).c_str(), estimate);
            if (page.variant.tiltDegrees == 0) {
                EXPECT_EQ(estimate, 0) << nameOf(page);
            } else {
                EXPECT_NEAR(estimate, page.variant.tiltDegrees, 0.15) << nameOf(page);
            }
        }
    }
    {
        // The upper half of this page is set in larger type than the lower half, and tilted pages
        // lean every margin alike: neither is a camera's perspective.
        SCOPED_TRACE("perspective finds the keystoned page and only that one");
        for (const auto& page : all) {
            if (page.variant.turnsCW == 0) {
                const Raster& raster = page.variant.raster;
                EXPECT_EQ(bool(PagePerspective::detect(page.firstPass, raster.cols, raster.rows)),
                          page.variant.keystoned)
                    << nameOf(page);
            }
        }
    }
}
