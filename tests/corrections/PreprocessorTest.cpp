#include "core/TesseractOCRService.h"
#include "corrections/Preprocessor.h"

#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QtConcurrent/QtConcurrentMap>
#include <cstdio>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

using namespace quorvane;
using namespace quorvane::test;

namespace {

const QStringList sampleText = {
    QStringLiteral("The quick brown fox jumps over the lazy dog near the river bank."),
    QStringLiteral("Seven wizards quietly boxed jumping frogs before the winter night."),
    QStringLiteral("Amplifier output power measured at forty watts into eight ohms."),
    QStringLiteral("Turntable speed stability remains within tolerance after warming."),
};

// A page of ordinary prose, about 300 DPI at 11 points.
const QStringList prose = {
    QStringLiteral("The committee met on a wet Tuesday morning to discuss the harbour repairs."),
    QStringLiteral("Several members argued that the northern wall should be rebuilt first,"),
    QStringLiteral("because the winter storms had already damaged the old timber supports."),
    QStringLiteral("Others preferred to finish the southern landing, where fishing boats"),
    QStringLiteral("unload their catch every evening and the market traders set up stalls."),
    QStringLiteral("After a long debate the chairman proposed a compromise: both projects"),
    QStringLiteral("would begin in spring, with the northern wall receiving priority funding."),
    QStringLiteral("The engineer estimated that the work would take roughly eleven months"),
    QStringLiteral("and require about forty labourers, two cranes and a floating platform."),
    QStringLiteral("Local residents welcomed the decision but asked for quieter working hours"),
    QStringLiteral("near the school, the library and the small hospital on Castle Street."),
    QStringLiteral("The treasurer promised a detailed budget before the next monthly meeting."),
};

// Isolated dark specks of one or two pixels over the whole page, as dust on a scanner's glass.
void sprinkleSpecks(Raster& page, int count) {
    cv::RNG random(7);
    for (int i = 0; i < count; ++i) {
        const cv::Point at(random.uniform(0, page.cols - 2), random.uniform(0, page.rows - 2));
        const int size = random.uniform(1, 3);
        cv::rectangle(page, cv::Rect(at, cv::Size(size, size)), cv::Scalar(0, 0, 0), cv::FILLED);
    }
}

// The page darkened towards its right edge, as by the shadow of a hand or a book's spine: the
// brightness falls linearly from 100% at mid-page to `darkest` at the right edge.
void castShadow(Raster& page, double darkest) {
    for (int x = page.cols / 2; x < page.cols; ++x) {
        const double factor = 1 - (1 - darkest) * (x - page.cols / 2) / double(page.cols / 2);
        page.col(x) *= factor;
    }
}

} // namespace

TEST(PreprocessorApply, OffReturnsTheVerySameRaster) {
    const Raster page = drawTextPage(sampleText, 600, 400, 14, 3).raster;
    EXPECT_TRUE(isSameRaster(Preprocessor::apply(page, PreprocessStrength::off), page));
    const Raster empty;
    for (auto strength : allPreprocessStrengths) {
        EXPECT_TRUE(Preprocessor::apply(empty, strength).empty());
    }
}

TEST(PreprocessorApply, EveryStrengthKeepsTheSizeAndRemovesColour) {
    Raster page = drawTextPage(sampleText, 601, 403, 14, 3).raster;
    cv::rectangle(page, cv::Rect(400, 300, 100, 50), cv::Scalar(200, 40, 40), cv::FILLED);
    for (auto strength : {PreprocessStrength::conservative, PreprocessStrength::standard,
                          PreprocessStrength::aggressive}) {
        const Raster cleaned = Preprocessor::apply(page, strength);
        EXPECT_EQ(cleaned.size(), page.size()) << rawValue(strength).toStdString();
        EXPECT_EQ(cleaned.type(), CV_8UC1) << rawValue(strength).toStdString();
    }
}

TEST(PreprocessorApply, ConservativeOnlyStretchesContrastAroundMidGrey) {
    // Every grey level and a few colours, side by side.
    Raster page(2, 256, CV_8UC3);
    for (int level = 0; level < 256; ++level) {
        page.at<cv::Vec3b>(0, level) = cv::Vec3b(level, level, level);
        page.at<cv::Vec3b>(1, level) = cv::Vec3b(level, 255 - level, (level * 7) % 256);
    }
    const cv::Mat cleaned = Preprocessor::apply(page, PreprocessStrength::conservative);
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 256; ++x) {
            const cv::Vec3b p = page.at<cv::Vec3b>(row, x);
            const double luma = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            const double expected = std::clamp((luma - 127.5) * 1.05 + 127.5, 0.0, 255.0);
            EXPECT_NEAR(cleaned.at<uchar>(row, x), expected, 1.5) << "row " << row << " x " << x;
        }
    }
}

TEST(PreprocessorApply, ConservativeKeepsAFaintStampAndSignature) {
    QImage image = imageFromRaster(drawTextPage(sampleText, 1200, 900, 24, 3).raster);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(215, 215, 215), 6)); // a faint grey stamp
        painter.drawEllipse(QPoint(850, 600), 150, 150);
        painter.setPen(QPen(QColor(190, 200, 235), 3)); // a pale blue signature
        painter.drawLine(150, 700, 350, 650);
        painter.drawLine(350, 650, 450, 720);
    }
    const Raster page = rasterFromImage(image);
    const cv::Mat before = greyLevels(page);
    cv::Mat stamp = before < 250;
    stamp(cv::Rect(0, 0, image.width(), 500)).setTo(0); // only the stamp and signature, not the text

    const cv::Mat after = greyLevels(Preprocessor::apply(page, PreprocessStrength::conservative));
    const double darknessBefore = 255 - cv::mean(before, stamp)[0];
    const double darknessAfter = 255 - cv::mean(after, stamp)[0];
    EXPECT_GT(darknessBefore, 25);
    EXPECT_GE(darknessAfter, 0.85 * darknessBefore);
    // Still visible: every stamp pixel stays clearly darker than the white paper around it.
    double lightest = 0;
    cv::minMaxLoc(after, nullptr, &lightest, nullptr, nullptr, stamp & (before < 235));
    EXPECT_LT(lightest, 245);
}

TEST(PreprocessorApply, StrongerSettingsLiftShadowsAndKeepWhitePaper) {
    Raster page = drawTextPage(sampleText, 1200, 600, 24, 3).raster;
    castShadow(page, 0.3);
    const cv::Rect shadowedPaper(1150, 500, 40, 90); // blank paper near the right edge
    const cv::Rect whitePaper(10, 500, 40, 90);
    const auto meanLevel = [](const Raster& raster, const cv::Rect& area) { return cv::mean(greyLevels(raster)(area))[0]; };

    const double conservative = meanLevel(Preprocessor::apply(page, PreprocessStrength::conservative), shadowedPaper);
    const Raster standardPage = Preprocessor::apply(page, PreprocessStrength::standard);
    const Raster aggressivePage = Preprocessor::apply(page, PreprocessStrength::aggressive);
    const double standard = meanLevel(standardPage, shadowedPaper);
    const double aggressive = meanLevel(aggressivePage, shadowedPaper);
    EXPECT_LT(conservative, 90);
    EXPECT_GT(standard, conservative + 40);
    EXPECT_GT(aggressive, standard + 20);
    EXPECT_GE(meanLevel(standardPage, whitePaper), 250);
    EXPECT_GE(meanLevel(aggressivePage, whitePaper), 250);
    // Text in the shadow stays dark.
    double darkest = 255;
    cv::minMaxLoc(greyLevels(aggressivePage)(cv::Rect(700, 50, 450, 300)), &darkest);
    EXPECT_LT(darkest, 40);
}

TEST(PreprocessorApply, StandardSmoothsNoiseAndAggressiveRemovesSpecks) {
    Raster paper(400, 400, CV_8UC3, cv::Scalar(230, 230, 230));
    cv::Mat noise(paper.size(), CV_16SC3);
    cv::randn(noise, 0, 2);
    paper.convertTo(paper, CV_16SC3);
    paper += noise;
    paper.convertTo(paper, CV_8UC3);
    const auto spread = [](const Raster& raster) {
        cv::Scalar mean, deviation;
        cv::meanStdDev(greyLevels(raster)(cv::Rect(20, 20, 360, 360)), mean, deviation);
        return deviation[0];
    };
    EXPECT_LT(spread(Preprocessor::apply(paper, PreprocessStrength::standard)),
              0.8 * spread(Preprocessor::apply(paper, PreprocessStrength::conservative)));

    // Isolated one-pixel specks on blank paper.
    Raster specked(400, 400, CV_8UC3, cv::Scalar(255, 255, 255));
    for (int y = 10; y < 400; y += 23) {
        for (int x = 10; x < 400; x += 29) {
            specked.at<cv::Vec3b>(y, x) = cv::Vec3b(0, 0, 0);
        }
    }
    const auto specks = [](const Raster& raster) { return cv::countNonZero(greyLevels(raster) < 128); };
    ASSERT_GT(specks(specked), 200);
    EXPECT_GT(specks(Preprocessor::apply(specked, PreprocessStrength::standard)), 200);
    EXPECT_EQ(specks(Preprocessor::apply(specked, PreprocessStrength::aggressive)), 0);
}

TEST(PreprocessorRecognition, ShadowedSpeckledPageReadsBetterWhenCleaned) {
    // Without cleaning, the recognizer's global threshold turns the darkest part of the shadow
    // into ink and loses the words there; the specks cost a few more.
    Raster page = drawTextPage(prose, 2000, 1400, 38, 3).raster;
    castShadow(page, 0.25);
    sprinkleSpecks(page, 6000);

    const OCROptions options = englishOnly();
    const TesseractOCRService ocr;
    const PreprocessStrength strengths[] = {PreprocessStrength::off, PreprocessStrength::standard,
                                            PreprocessStrength::aggressive};
    const QList<double> recalls = QtConcurrent::blockingMapped(
        QList<PreprocessStrength>(std::begin(strengths), std::end(strengths)),
        [&](PreprocessStrength strength) {
            QString text;
            for (const auto& line : ocr.recognize(Preprocessor::apply(page, strength), options)) {
                text += line.text + QLatin1Char('\n');
            }
            return wordRecall(text, prose.join(QLatin1Char('\n')));
        });
    const double off = recalls[0], standard = recalls[1], aggressive = recalls[2];
    std::printf("word recall: off %.3f, standard %.3f, aggressive %.3f\n", off, standard, aggressive);
    ASSERT_LT(off, 0.93) << "the page must be hard to read without cleaning";
    // Each cleaning strength recovers at least half of the words lost without it.
    EXPECT_GE(standard - off, 0.5 * (1 - off));
    EXPECT_GE(aggressive - off, 0.5 * (1 - off));
    EXPECT_GE(aggressive, 0.95);
}
