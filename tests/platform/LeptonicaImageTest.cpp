#include "platform/LeptonicaImage.h"
#include "platform/TesseractEnginePool.h"
#include "support/RasterFixtures.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>

#include <cstring>
#include <memory>

using namespace quorvane;

namespace {

// Odd sizes, so that rows end inside a Leptonica word and need padding.
Raster randomRaster(int type, int width = 37, int height = 23) {
    Raster raster(height, width, type);
    cv::RNG rng(12345);
    rng.fill(raster, cv::RNG::UNIFORM, 0, 256);
    return raster;
}

// What Tesseract's engine holds after being given `raster` as a raw buffer: its own conversion,
// the one our Leptonica images must match byte for byte.
LeptonicaImage::Image tesseractsOwnConversion(tesseract::TessBaseAPI& engine, const Raster& raster) {
    engine.SetImage(raster.data, raster.cols, raster.rows, raster.channels(), static_cast<int>(raster.step));
    return LeptonicaImage::Image(pixCopy(nullptr, engine.GetInputImage()));
}

LeptonicaImage::Image heldAfterGiving(tesseract::TessBaseAPI& engine, const LeptonicaImage::Image& pix) {
    engine.SetImage(pix.get());
    return LeptonicaImage::Image(pixCopy(nullptr, engine.GetInputImage()));
}

void expectSameBytes(Pix* expected, Pix* actual) {
    ASSERT_NE(expected, nullptr);
    ASSERT_NE(actual, nullptr);
    ASSERT_EQ(pixGetWidth(actual), pixGetWidth(expected));
    ASSERT_EQ(pixGetHeight(actual), pixGetHeight(expected));
    ASSERT_EQ(pixGetDepth(actual), pixGetDepth(expected));
    ASSERT_EQ(pixGetWpl(actual), pixGetWpl(expected));
    EXPECT_EQ(pixGetSpp(actual), pixGetSpp(expected));
    EXPECT_EQ(pixGetXRes(actual), pixGetXRes(expected));
    EXPECT_EQ(pixGetYRes(actual), pixGetYRes(expected));
    // Every byte, padding and the unused fourth byte of colour pixels included.
    const size_t bytes = size_t(pixGetWpl(expected)) * 4 * size_t(pixGetHeight(expected));
    EXPECT_EQ(std::memcmp(pixGetData(actual), pixGetData(expected), bytes), 0);
}

// Every recognised word with its box and confidence, in Tesseract's own tab-separated report.
std::string wordReport(tesseract::TessBaseAPI& engine) {
    if (engine.Recognize(nullptr) != 0) {
        return "recognition failed";
    }
    const std::unique_ptr<char[]> report(engine.GetTSVText(0));
    return report ? report.get() : "";
}

} // namespace

TEST(LeptonicaImage, matchesTesseractsOwnConversionOfEveryAcceptedFormat) {
    auto lease = TesseractEnginePool::shared().borrow({"eng", false, {}});
    tesseract::TessBaseAPI& engine = lease.engine();

    const Raster wide = randomRaster(CV_8UC3, 80, 30);
    const Raster wideGrey = randomRaster(CV_8UC1, 80, 30);
    const struct {
        const char* name;
        Raster raster;
    } cases[] = {
        {"grey", randomRaster(CV_8UC1)},
        {"coloured rgb", randomRaster(CV_8UC3)},
        {"rgba", randomRaster(CV_8UC4)},
        {"coloured rgb with row padding (a region of a wider raster)", wide(cv::Rect(3, 2, 41, 25))},
        {"grey with row padding", wideGrey(cv::Rect(3, 2, 41, 25))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto expected = tesseractsOwnConversion(engine, c.raster);
        const auto pix = LeptonicaImage::fromRaster(c.raster);
        ASSERT_NE(pix, nullptr);
        expectSameBytes(expected.get(), heldAfterGiving(engine, pix).get());
    }
    engine.Clear();
}

// Grey pages in RGB (all cleaned pages) go to Tesseract as grey: the same image Tesseract makes
// of the grey raster, and the same words, boxes and confidences as from the RGB raster.
TEST(LeptonicaImage, givesUncolouredRgbAsGreyThatReadsTheSame) {
    auto lease = TesseractEnginePool::shared().borrow({"eng", false, {}});
    tesseract::TessBaseAPI& engine = lease.engine();

    const Raster page = test::drawTextPage({"The quick brown fox jumps", "over 13 lazy dogs, twice."}, 1100, 260).raster;
    cv::Mat grey;
    cv::cvtColor(page, grey, cv::COLOR_RGB2GRAY);
    ASSERT_GT(cv::countNonZero(grey != 255), 0);
    ASSERT_GT(cv::countNonZero((grey > 0) & (grey < 255)), 0) << "the page should have grey levels too";

    for (const Raster& uncoloured : {page, Raster(page(cv::Rect(5, 3, 901, 201)))}) {
        cv::Mat expectedGrey;
        cv::cvtColor(uncoloured, expectedGrey, cv::COLOR_RGB2GRAY);
        const auto pix = LeptonicaImage::fromRaster(uncoloured);
        ASSERT_NE(pix, nullptr);
        EXPECT_EQ(pixGetDepth(pix.get()), 8);
        expectSameBytes(tesseractsOwnConversion(engine, expectedGrey).get(), heldAfterGiving(engine, pix).get());
    }

    engine.SetImage(page.data, page.cols, page.rows, 3, static_cast<int>(page.step));
    const std::string fromRgb = wordReport(engine);
    engine.SetImage(LeptonicaImage::fromRaster(page).get());
    const std::string fromGrey = wordReport(engine);
    engine.Clear();
    EXPECT_NE(fromRgb.find("quick"), std::string::npos) << fromRgb;
    EXPECT_EQ(fromGrey, fromRgb);
}

TEST(LeptonicaImage, refusesFormatsTesseractCannotRead) {
    EXPECT_EQ(LeptonicaImage::fromRaster(Raster()), nullptr);
    EXPECT_EQ(LeptonicaImage::fromRaster(Raster(4, 4, CV_8UC2, cv::Scalar(1, 2))), nullptr);
    EXPECT_EQ(LeptonicaImage::fromRaster(Raster(4, 4, CV_16UC3, cv::Scalar(1, 2, 3))), nullptr);
}
