#include "corrections/Preprocessor.h"
#include "platform/TesseractOCRService.h"

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

TEST(PreprocessorApply, ConservativeKeepsAFaintStampAndSignature) {
    QImage image = imageFromRaster(drawTextPage(proseLines.mid(0, 4), 1200, 900, 24, 3).raster);
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

TEST(PreprocessorRecognition, ShadowedSpeckledPageReadsBetterWhenCleaned) {
    // Without cleaning, the recognizer's global threshold turns the darkest part of the shadow
    // into ink and loses the words there; the specks cost a few more.
    Raster page = drawTextPage(proseLines, 1300, 1400, 38, 3).raster;
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
            return wordRecall(text, proseLines.join(QLatin1Char('\n')));
        });
    const double off = recalls[0], standard = recalls[1], aggressive = recalls[2];
    std::printf("word recall: off %.3f, standard %.3f, aggressive %.3f\n", off, standard, aggressive);
    ASSERT_LT(off, 0.93) << "the page must be hard to read without cleaning";
    // Each cleaning strength recovers at least half of the words lost without it.
    EXPECT_GE(standard - off, 0.5 * (1 - off));
    EXPECT_GE(aggressive - off, 0.5 * (1 - off));
    EXPECT_GE(aggressive, 0.95);
}
