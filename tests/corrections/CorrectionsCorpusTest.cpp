// The corrections on real recognitions of a corpus page: linn.png upright, tilted by 1 and 4
// degrees, keystoned, and turned by 90, 180 and 270 degrees. Each variant is turned upright by
// the page work as the pipeline does it (orientation detection, then recognition, accurate,
// English), all of them concurrently, and every check works from those results: they are one test, as ctest
// runs each test in a process of its own. That such pages leave quorvane-cli upright with their
// text on the words, and that only the photographed ones are taken for photographs, is shown end
// to end, on some of these variants, by PageCorrections.

#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "pipeline/PageWork.h"
#include "platform/TesseractEnginePool.h"
#include "platform/TesseractOCRService.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QtConcurrent/QtConcurrentMap>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numbers>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Recognised {
    PageVariant variant;
    UprightPage upright;
    OrientationGuess guess;
    std::vector<OCRLine> asItLies; // upside down only: what a wrong guess would read
};

std::vector<Recognised> recognise(std::vector<PageVariant> variants) {
    std::vector<Recognised> result;
    for (auto& variant : variants) {
        result.push_back({std::move(variant), {}, {}, {}});
    }
    const TesseractOCRService ocr;
    OCROptions options = englishOnly();
    options.autoRotate = true;
    QtConcurrent::blockingMap(result, [&](Recognised& page) {
        page.upright = PageWork::upright(page.variant.raster, options, ocr);
        // The guess the page work checks: the closer look's when that is surer.
        const Raster reduced = PageOrientation::downscaled(page.variant.raster, PageOrientation::guessMaxDimension);
        page.guess = ocr.detectOrientation(reduced);
        if (const auto closer = ocr.detectOrientationClosely(reduced);
            page.guess.turnsCW != 0 && closer.confidence > page.guess.confidence) {
            page.guess = closer;
        }
        if (page.variant.turnsCW == 2) {
            page.asItLies = ocr.recognize(page.variant.raster, options);
        }
    });
    return result;
}

std::string nameOf(const Recognised& page) {
    return page.variant.name.toStdString();
}

} // namespace

TEST(CorrectionsCorpus, UprightTiltedKeystonedAndTurnedPages) {
    const auto recognitionsBefore = TesseractEnginePool::recognitionCount();
    const std::vector<Recognised> all = recognise(linnVariants());
    ASSERT_EQ(all.size(), 7u);

    {
        SCOPED_TRACE("every page is turned upright, each recognised once and a guessed turn checked on "
                     "the middle of the page: the probe is not needed");
        std::size_t checks = 0; // as it lies and turned as guessed
        for (const auto& page : all) {
            const auto stats = PageOrientation::stats(page.upright.lines);
            std::printf("%-20s orientation guess %d at confidence %.2f; read: %3lld lines %5lld characters, "
                        "mean confidence %.3f\n",
                        nameOf(page).c_str(), page.guess.turnsCW, page.guess.confidence, stats.lineCount,
                        stats.charCount, stats.meanConfidence());
            EXPECT_EQ((page.upright.turnsCW + page.variant.turnsCW) % 4, 0) << nameOf(page);
            EXPECT_TRUE(PageOrientation::readsWell(page.upright.lines)) << nameOf(page);
            checks += page.guess.turnsCW == 0 ? 0 : 2;
        }
        EXPECT_EQ(TesseractEnginePool::recognitionCount() - recognitionsBefore, all.size() + 1 + checks);
    }
    {
        SCOPED_TRACE("a wrong guess does not pass the check: upright stays upright, sideways the other way round "
                     "is turned the right way; a right one passes on a short letter");
        const auto variant = [&](int turnsCW) -> const Raster& {
            return std::find_if(all.begin(), all.end(), [&](auto& p) {
                return p.variant.turnsCW == turnsCW && !p.variant.keystoned && p.variant.tiltDegrees == 0;
            })->variant.raster;
        };
        const TesseractOCRService ocr;
        EXPECT_EQ(PageOrientation::checkedTurn(variant(0), 2, englishOnly(), ocr), 0);
        EXPECT_EQ(PageOrientation::checkedTurn(variant(1), 1, englishOnly(), ocr), 3);
        // A short letter at the top of its page leaves the middle blank: the whole page is read.
        const Raster letter = drawTextPage({"Dear Margaret,", "Thank you for the minutes of the March meeting.",
                                            "Best wishes, Tom"},
                                           2550, 3300)
                                  .raster;
        EXPECT_EQ(PageOrientation::checkedTurn(turnedPage(letter, 2), 2, englishOnly(), ocr), 2);
        // In another script than the first language's, the page is read in the one detected.
        const QStringList chinese(24, "会议于上午十点在阅览室举行。出席者包括档案管理员和两名志愿者。");
        const Raster minutes = drawTextPage(chinese, 2550, 3300, 50).raster;
        EXPECT_EQ(PageOrientation::checkedTurn(turnedPage(minutes, 2), 2, OCROptions(), ocr), 2);
    }
    {
        // A wrong guess is caught because the page it leaves turned reads badly.
        SCOPED_TRACE("read upside down, the page reads badly");
        const auto& upsideDown = *std::find_if(all.begin(), all.end(), [](auto& p) { return p.variant.turnsCW == 2; });
        const auto stats = PageOrientation::stats(upsideDown.asItLies);
        std::printf("upside down, as it lies: %lld characters, mean confidence %.3f\n", stats.charCount,
                    stats.meanConfidence());
        EXPECT_GT(stats.charCount, 500);
        EXPECT_FALSE(PageOrientation::readsWell(upsideDown.asItLies));
    }
    {
        SCOPED_TRACE("deskew measures the tilt");
        for (const auto& page : all) {
            if (page.variant.turnsCW != 0) {
                continue;
            }
            const Raster& raster = page.variant.raster;
            const double estimate =
                PageDeskew::estimateAngle(page.upright.lines, raster.cols, raster.rows) * 180 / std::numbers::pi;
            std::printf("%-20s skew estimate %.3f degrees\n", nameOf(page).c_str(), estimate);
            if (page.variant.tiltDegrees == 0) {
                EXPECT_EQ(estimate, 0) << nameOf(page);
            } else {
                EXPECT_NEAR(estimate, page.variant.tiltDegrees, 0.15) << nameOf(page);
            }
        }
    }
}
