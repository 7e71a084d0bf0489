#include "pipeline/PDFPageRasterizer.h"

#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QtConcurrent>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The rectangle of pixels darker than mid-grey; empty when there are none.
cv::Rect darkArea(const Raster& raster) {
    cv::Mat mask;
    cv::threshold(greyLevels(raster), mask, 127, 255, cv::THRESH_BINARY_INV);
    return cv::boundingRect(mask);
}

// Raster edges may be soft by a pixel from anti-aliasing.
void expectNear(const cv::Rect& actual, const cv::Rect& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1) << "x";
    EXPECT_NEAR(actual.y, expected.y, 1) << "y";
    EXPECT_NEAR(actual.width, expected.width, 2) << "width";
    EXPECT_NEAR(actual.height, expected.height, 2) << "height";
}

bool allWhite(const Raster& raster) {
    const cv::Scalar mean = cv::mean(raster);
    double lowest = 0;
    cv::minMaxLoc(raster.reshape(1), &lowest);
    return lowest == 255 && mean[0] == 255;
}

struct Rendered {
    QTemporaryDir folder;
    std::unique_ptr<PdfDocument> document;
    std::optional<Raster> render(int page, double dpi) const {
        return PDFPageRasterizer::render(*document->page(page), dpi);
    }
};

std::unique_ptr<Rendered> open(const std::vector<FixturePage>& pages) {
    auto rendered = std::make_unique<Rendered>();
    const QString path = rendered->folder.filePath("page.pdf");
    rendered->document = writePdf(path, pages) ? PdfDocument::open(path) : nullptr;
    return rendered;
}

} // namespace

TEST(PDFPageRasterizer, PixelSizesAtThreeHundredDPI) {
    const auto pages = open({FixturePage{},                                    // letter
                             FixturePage{.mediaBox = {0, 0, 612, 1008}},       // legal: over the cap
                             FixturePage{.rotate = 90},                        // letter turned
                             FixturePage{.mediaBox = {0, 0, 300.5, 200.25}}}); // fractional points
    ASSERT_TRUE(pages->document);

    const auto letter = pages->render(0, PDFPageRasterizer::targetDPI);
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter->cols, 2550);
    EXPECT_EQ(letter->rows, 3300);
    EXPECT_EQ(letter->type(), CV_8UC1); // a page that cannot show colour comes out grey

    const auto legal = pages->render(1, PDFPageRasterizer::targetDPI);
    ASSERT_TRUE(legal);
    EXPECT_EQ(legal->cols, 2486); // floor(612 x 4096 / 1008)
    EXPECT_EQ(legal->rows, 4096);

    const auto turned = pages->render(2, PDFPageRasterizer::targetDPI);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->cols, 3300);
    EXPECT_EQ(turned->rows, 2550);

    const auto fractional = pages->render(3, 144);
    ASSERT_TRUE(fractional);
    EXPECT_EQ(fractional->cols, 601); // floor(300.5 x 2)
    EXPECT_EQ(fractional->rows, 400); // floor(200.25 x 2)
}

TEST(PDFPageRasterizer, NothingForAPageWithoutArea) {
    const auto pages = open({FixturePage{.mediaBox = {0, 0, 0, 0}}, FixturePage{.mediaBox = {0, 0, 612, 0.001}}});
    ASSERT_TRUE(pages->document);
    EXPECT_FALSE(pages->render(0, 300));
    EXPECT_FALSE(pages->render(1, 300)); // less than one pixel high
    EXPECT_FALSE(pages->render(1, 0));
}

// A black rectangle near the top-left corner of an unrotated 612 x 792 page, x 50..150 and
// y 600..750 in user space, rendered at 72 DPI (one pixel per point), lands where a reader shows
// it after turning the page clockwise by its rotation.
TEST(PDFPageRasterizer, RotatedPagesComeOutUprightAsDisplayed) {
    struct Case {
        int rotate;
        cv::Size size;
        cv::Rect expected; // in raster pixels, rows from the top
    };
    const std::vector<Case> cases = {
        {0, {612, 792}, {50, 42, 100, 150}},   // top left
        {90, {792, 612}, {600, 50, 150, 100}}, // top right
        {180, {612, 792}, {462, 600, 100, 150}}, // bottom right
        {270, {792, 612}, {42, 462, 150, 100}}, // bottom left
        {-90, {792, 612}, {42, 462, 150, 100}}, // same as 270
        {45, {612, 792}, {50, 42, 100, 150}},   // not a quarter turn: unrotated
    };
    std::vector<FixturePage> fixture;
    for (const Case& c : cases) {
        fixture.push_back(FixturePage{.rotate = c.rotate, .blackRects = {{50, 600, 100, 150}}});
    }
    const auto pages = open(fixture);
    ASSERT_TRUE(pages->document);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].rotate);
        const auto raster = pages->render(static_cast<int>(i), 72);
        ASSERT_TRUE(raster);
        EXPECT_EQ(raster->size(), cases[i].size);
        expectNear(darkArea(*raster), cases[i].expected);
    }
}

// Crop box (100, 200)-(400, 600) of a letter media box: 300 x 400 points shown. One black square
// sits in the crop box's lower-left corner, another outside the crop box entirely.
TEST(PDFPageRasterizer, ShowsTheCropBoxWithItsOwnOrigin) {
    const std::vector<Rect> marks = {{100, 200, 40, 40}, {0, 0, 60, 60}};
    const auto pages = open({FixturePage{.cropBox = Rect{100, 200, 300, 400}, .blackRects = marks},
                             FixturePage{.cropBox = Rect{100, 200, 300, 400}, .rotate = 90, .blackRects = marks}});
    ASSERT_TRUE(pages->document);

    const auto plain = pages->render(0, 72);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size(), cv::Size(300, 400));
    expectNear(darkArea(*plain), {0, 360, 40, 40}); // bottom left, nothing of the outer square

    // Turned clockwise, the crop box's lower-left corner is the raster's top left.
    const auto turned = pages->render(1, 72);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->size(), cv::Size(400, 300));
    expectNear(darkArea(*turned), {0, 0, 40, 40});
}

TEST(PDFPageRasterizer, CropBoxReachingBeyondTheMediaBoxShowsTheirCommonPart) {
    const auto pages = open({FixturePage{.mediaBox = {0, 0, 600, 800},
                                         .cropBox = Rect{-100, 700, 400, 300}, // common: (0, 700)-(300, 800)
                                         .blackRects = {{0, 700, 20, 20}}},
                             FixturePage{.mediaBox = {0, 0, 600, 800},
                                         .cropBox = Rect{700, 900, 100, 100}, // beside it
                                         .blackRects = {{0, 0, 20, 20}}}});
    ASSERT_TRUE(pages->document);
    const auto overlapping = pages->render(0, 72);
    ASSERT_TRUE(overlapping);
    EXPECT_EQ(overlapping->size(), cv::Size(300, 100));
    expectNear(darkArea(*overlapping), {0, 80, 20, 20});

    const auto beside = pages->render(1, 72);
    ASSERT_TRUE(beside);
    EXPECT_EQ(beside->size(), cv::Size(600, 800));
    EXPECT_TRUE(allWhite(*beside)); // Poppler clips to an empty box: the page shows nothing
}

// Poppler reads /Rotate only as an integer; a real 90.0 must still turn the raster, or its
// content would not match the display bounds it was sized for.
TEST(PDFPageRasterizer, RealNumberRotationTurnsLikeTheInteger) {
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{.blackRects = {{50, 600, 100, 150}}}});
    auto page = pdf->getAllPages().at(0);
    page.replaceKey("/Rotate", QPDFObjectHandle::newReal("90.0"));
    savePdf(*pdf, folder.filePath("real.pdf"));
    const auto document = PdfDocument::open(folder.filePath("real.pdf"));
    ASSERT_TRUE(document);
    const auto raster = PDFPageRasterizer::render(*document->page(0), 72);
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->size(), cv::Size(792, 612));
    expectNear(darkArea(*raster), {600, 50, 150, 100});
}

TEST(PDFPageRasterizer, InheritedRotationAndCropBoxAreHonoured) {
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{.blackRects = {{100, 200, 40, 40}}}});
    auto tree = pdf->getRoot().getKey("/Pages");
    tree.replaceKey("/Rotate", QPDFObjectHandle::newInteger(180));
    tree.replaceKey("/CropBox", QPDFObjectHandle::parse("[100 200 400 600]"));
    savePdf(*pdf, folder.filePath("inherited.pdf"));
    const auto document = PdfDocument::open(folder.filePath("inherited.pdf"));
    ASSERT_TRUE(document);

    const auto raster = PDFPageRasterizer::render(*document->page(0), 72);
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->size(), cv::Size(300, 400));
    expectNear(darkArea(*raster), {260, 0, 40, 40}); // lower left turned half way: top right
}

TEST(PDFPageRasterizer, WhiteWhereNothingIsDrawnAndColoursInRGBOrder) {
    QTemporaryDir folder;
    auto pdf = buildPdf({FixturePage{.mediaBox = {0, 0, 200, 100}}, FixturePage{.mediaBox = {0, 0, 200, 100}}});
    // Page 1: a transparency group whose only fill is fully transparent.
    auto first = pdf->getAllPages().at(0);
    first.replaceKey("/Group", QPDFObjectHandle::parse("<< /S /Transparency /CS /DeviceRGB /I true /K false >>"));
    first.getKey("/Resources").replaceKey("/ExtGState", QPDFObjectHandle::parse("<< /Clear << /ca 0 >> >>"));
    first.replaceKey("/Contents", pdf->newStream("/Clear gs 0 g 0 0 200 100 re f"));
    // Page 2: a red square on the left, a blue one on the right.
    auto second = pdf->getAllPages().at(1);
    second.replaceKey("/Contents", pdf->newStream("1 0 0 rg 0 0 100 100 re f 0 0 1 rg 100 0 100 100 re f"));
    savePdf(*pdf, folder.filePath("colours.pdf"));
    const auto document = PdfDocument::open(folder.filePath("colours.pdf"));
    ASSERT_TRUE(document);

    const auto clear = PDFPageRasterizer::render(*document->page(0), 72);
    ASSERT_TRUE(clear);
    EXPECT_TRUE(allWhite(*clear));

    const auto colours = PDFPageRasterizer::render(*document->page(1), 72);
    ASSERT_TRUE(colours);
    EXPECT_EQ(colours->at<cv::Vec3b>(50, 50), cv::Vec3b(255, 0, 0));
    EXPECT_EQ(colours->at<cv::Vec3b>(50, 150), cv::Vec3b(0, 0, 255));

    const auto blank = PdfDocument::open(corpusPath("no_contents.pdf"));
    ASSERT_TRUE(blank);
    const auto empty = PDFPageRasterizer::render(*blank->page(0), 36);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), cv::Size(360, 360));
    EXPECT_TRUE(allWhite(*empty));
}

TEST(PDFPageRasterizer, RendersARealScan) {
    const auto document = PdfDocument::open(corpusPath("linn.pdf"));
    ASSERT_TRUE(document);
    const auto raster = PDFPageRasterizer::render(*document->page(0), PDFPageRasterizer::targetDPI);
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->size(), cv::Size(2550, 3300));
    // A printed page: mostly paper, some ink.
    const cv::Mat grey = greyLevels(*raster);
    const double ink = cv::countNonZero(grey < 128) / double(grey.total());
    EXPECT_GT(ink, 0.02);
    EXPECT_LT(ink, 0.5);
}

// Two documents render side by side in a batch: each render owns its bitmap.
TEST(PDFPageRasterizer, DocumentsRenderOnSeveralThreadsAtOnce) {
    QTemporaryDir folder;
    std::vector<std::unique_ptr<PdfDocument>> owners;
    QList<const PdfDocument*> documents;
    for (int i = 0; i < 4; ++i) {
        const QString path = folder.filePath(QString("doc%1.pdf").arg(i));
        writePdf(path, {FixturePage{.rotate = 90 * i, .blackRects = {{50, 600, 100, 150}}, .text = "Thread"}});
        owners.push_back(PdfDocument::open(path));
        ASSERT_TRUE(owners.back());
        documents.append(owners.back().get());
    }
    const auto render = [](const PdfDocument* document) {
        return PDFPageRasterizer::render(*document->page(0), 100);
    };
    std::vector<std::optional<Raster>> alone;
    for (const PdfDocument* document : documents) {
        alone.push_back(render(document));
    }
    QThreadPool pool;
    pool.setMaxThreadCount(4);
    const QList<std::optional<Raster>> together =
        QtConcurrent::blockingMapped<QList<std::optional<Raster>>>(&pool, documents, render);
    ASSERT_EQ(together.size(), 4);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(alone[i] && together[i]);
        EXPECT_EQ(cv::norm(*alone[i], *together[i], cv::NORM_INF), 0) << "document " << i;
    }
}
