// The corrections on real recognitions of a corpus page: linn.png upright, tilted by 1, 2 and 4
// degrees, and turned by 90, 180 and 270 degrees. Each variant is recognised once, as the first
// pass of the pipeline would (accurate, English), and the results are shared by all cases.

#include "core/TesseractOCRService.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QtConcurrent/QtConcurrentMap>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <numbers>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Variant {
    QString name;
    double tiltDegrees = 0; // counter-clockwise
    int turnsCW = 0;        // clockwise quarter turns applied to the page
    Raster raster;
    std::vector<OCRLine> firstPass;
};

OCROptions options() {
    OCROptions result;
    result.languages = {QStringLiteral("en-US")};
    return result;
}

const std::vector<Variant>& variants() {
    static const std::vector<Variant> all = [] {
        const Raster linn = loadRaster(corpusPath("linn.png"));
        std::vector<Variant> result = {{"upright", 0, 0, linn, {}}};
        for (double tilt : {1.0, 2.0, 4.0}) {
            const auto tilted = PageDeskew::rotated(linn, tilt * std::numbers::pi / 180);
            result.push_back({QStringLiteral("tilted %1 degrees").arg(tilt), tilt, 0, tilted.value_or(Raster()), {}});
        }
        for (int turns : {1, 2, 3}) {
            result.push_back({QStringLiteral("turned %1 degrees").arg(turns * 90), 0, turns,
                              PageOrientation::rotated(linn, turns), {}});
        }
        const TesseractOCRService ocr;
        QtConcurrent::blockingMap(result, [&](Variant& variant) {
            variant.firstPass = ocr.recognize(variant.raster, options());
        });
        return result;
    }();
    return all;
}

double meanConfidence(const PageOrientation::ProbeStats& stats) {
    return stats.charCount > 0 ? stats.weightedConf / double(stats.charCount) : 0;
}

} // namespace

TEST(CorrectionsCorpus, TheProbeIsSkippedExactlyOnUprightPages) {
    for (const auto& variant : variants()) {
        ASSERT_FALSE(variant.raster.empty()) << variant.name.toStdString();
        const auto stats = PageOrientation::stats(variant.firstPass);
        std::printf("%-20s first pass: %4lld lines %6lld characters, mean confidence %.3f\n",
                    qPrintable(variant.name), stats.lineCount, stats.charCount, meanConfidence(stats));
        EXPECT_EQ(PageOrientation::readsWell(variant.firstPass), variant.turnsCW == 0) << variant.name.toStdString();
    }
}

TEST(CorrectionsCorpus, TheProbeTurnsTurnedPagesUpright) {
    const TesseractOCRService ocr;
    for (const auto& variant : variants()) {
        if (variant.turnsCW == 0) {
            continue;
        }
        const int expected = (4 - variant.turnsCW) % 4;
        EXPECT_EQ(PageOrientation::probe(variant.raster, variant.firstPass, options(), ocr), expected)
            << variant.name.toStdString();
        // An empty first pass means nothing to turn; the probe then recognises nothing, or it
        // would have found the turn.
        EXPECT_EQ(PageOrientation::probe(variant.raster, std::vector<OCRLine>{}, options(), ocr), 0);
    }
}

TEST(CorrectionsCorpus, AWellReadFirstPassSkipsTheProbe) {
    // Given the upright page's first pass, a turned raster is not probed: the answer stays 0.
    const TesseractOCRService ocr;
    const auto& all = variants();
    EXPECT_EQ(PageOrientation::probe(all.back().raster, all.front().firstPass, options(), ocr), 0);
}

TEST(CorrectionsCorpus, DeskewMeasuresTheTilt) {
    for (const auto& variant : variants()) {
        if (variant.turnsCW != 0) {
            continue;
        }
        const double estimate = PageDeskew::estimateAngle(variant.firstPass) * 180 / std::numbers::pi;
        std::printf("%-20s skew estimate %.3f degrees\n", qPrintable(variant.name), estimate);
        if (variant.tiltDegrees == 0) {
            EXPECT_EQ(estimate, 0);
        } else {
            EXPECT_NEAR(estimate, variant.tiltDegrees, 0.25) << variant.name.toStdString();
        }
    }
}
