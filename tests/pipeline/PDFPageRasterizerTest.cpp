#include "pipeline/PDFPageRasterizer.h"

#include "core/OCRError.h"
#include "support/PdfBuilder.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QThread>
#include <QtConcurrent>
#include <csignal>
#include <unistd.h>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Raster edges may be soft by a pixel from anti-aliasing.
void expectNear(const cv::Rect& actual, const cv::Rect& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1) << "x";
    EXPECT_NEAR(actual.y, expected.y, 1) << "y";
    EXPECT_NEAR(actual.width, expected.width, 2) << "width";
    EXPECT_NEAR(actual.height, expected.height, 2) << "height";
}

bool allWhite(const Raster& raster) {
    double lowest = 0;
    cv::minMaxLoc(raster.reshape(1), &lowest);
    return lowest == 255;
}

} // namespace

// Each page alone in a document. Pixel sizes follow the display size and the DPI, rounded down,
// with the longer side capped at 4096; a page without area, or no DPI, gives no raster. At 72 DPI
// (one pixel per point) a black rectangle near the top-left corner of an unrotated 612 x 792 page
// lands where a reader shows it after turning the page clockwise by its rotation; a crop box is
// shown with its own origin, limited to the media box. Poppler reads /Rotate only as an integer,
// so a real 90.0 is a case of its own.
TEST(PDFPageRasterizer, PagesComeOutAtTheirSizeAsDisplayed) {
    const std::vector<Rect> mark = {{50, 600, 100, 150}};
    const Rect crop{100, 200, 300, 400};
    // One square in the crop box's lower-left corner, another outside the crop box entirely.
    const std::vector<Rect> cropMarks = {{100, 200, 40, 40}, {0, 0, 60, 60}};
    struct Case {
        const char* name;
        FixturePage page;
        double dpi;
        cv::Size size;                 // empty: no raster
        std::optional<cv::Rect> dark;  // the dark area, rows from the top; empty: the page is all white
        void (*edit)(QPDF&) = nullptr; // applied to the built document before it is saved
    };
    const std::vector<Case> cases = {
        {"letter at 300 DPI", {}, 300, {2550, 3300}, std::nullopt},
        {"legal at 300 DPI: over the cap, floor(612 x 4096 / 1008)", {.mediaBox = {0, 0, 612, 1008}}, 300,
         {2486, 4096}, std::nullopt},
        {"fractional points at 144 DPI", {.mediaBox = {0, 0, 300.5, 200.25}}, 144, {601, 400}, std::nullopt},
        {"no area", {.mediaBox = {0, 0, 0, 0}}, 300, {}, std::nullopt},
        {"less than one pixel high: one row", {.mediaBox = {0, 0, 612, 0.001}}, 300, {2550, 1}, std::nullopt},
        {"no DPI", {}, 0, {}, std::nullopt},
        {"rotate 0: top left", {.rotate = 0, .blackRects = mark}, 72, {612, 792}, cv::Rect(50, 42, 100, 150)},
        {"rotate 90: top right", {.rotate = 90, .blackRects = mark}, 72, {792, 612}, cv::Rect(600, 50, 150, 100)},
        {"rotate 180: bottom right", {.rotate = 180, .blackRects = mark}, 72, {612, 792}, cv::Rect(462, 600, 100, 150)},
        {"rotate 270: bottom left", {.rotate = 270, .blackRects = mark}, 72, {792, 612}, cv::Rect(42, 462, 150, 100)},
        {"rotate -450, as 270", {.rotate = -450, .blackRects = mark}, 72, {792, 612}, cv::Rect(42, 462, 150, 100)},
        {"rotate 45, not a quarter turn: unrotated", {.rotate = 45, .blackRects = mark}, 72, {612, 792},
         cv::Rect(50, 42, 100, 150)},
        {"rotate 90.0, a real number", {.blackRects = mark}, 72, {792, 612}, cv::Rect(600, 50, 150, 100),
         [](QPDF& pdf) {
             auto page = pdf.getAllPages().at(0);
             page.replaceKey("/Rotate", QPDFObjectHandle::newReal("90.0"));
         }},
        {"crop box: its lower-left corner, nothing outside", {.cropBox = crop, .blackRects = cropMarks}, 72,
         {300, 400}, cv::Rect(0, 360, 40, 40)},
        {"crop box turned clockwise: its lower-left corner at the top left",
         {.cropBox = crop, .rotate = 90, .blackRects = cropMarks}, 72, {400, 300}, cv::Rect(0, 0, 40, 40)},
        {"crop box and rotation 180 inherited from the page tree", {.blackRects = {cropMarks[0]}}, 72, {300, 400},
         cv::Rect(260, 0, 40, 40),
         [](QPDF& pdf) {
             auto tree = pdf.getRoot().getKey("/Pages");
             tree.replaceKey("/Rotate", QPDFObjectHandle::newInteger(180));
             tree.replaceKey("/CropBox", QPDFObjectHandle::parse("[100 200 400 600]"));
         }},
        {"crop box reaching beyond the media box: their common part",
         {.mediaBox = {0, 0, 600, 800}, .cropBox = Rect{-100, 700, 400, 300}, .blackRects = {{0, 700, 20, 20}}}, 72,
         {300, 100}, cv::Rect(0, 80, 20, 20)},
        {"crop box beside the media box: Poppler clips to an empty box and shows nothing",
         {.mediaBox = {0, 0, 600, 800}, .cropBox = Rect{700, 900, 100, 100}, .blackRects = {{0, 0, 20, 20}}}, 72,
         {600, 800}, cv::Rect()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto pdf = buildPdf({c.page});
        if (c.edit) {
            c.edit(*pdf);
        }
        const SavedPdf saved(*pdf);
        ASSERT_TRUE(saved.document);
        const auto raster = PDFPageRasterizer::render(*saved.document->page(0), c.dpi);
        if (c.size.empty()) {
            EXPECT_FALSE(raster);
            continue;
        }
        ASSERT_TRUE(raster);
        EXPECT_EQ(raster->size(), c.size);
        if (c.dark && c.dark->empty()) {
            EXPECT_TRUE(allWhite(*raster));
        } else if (c.dark) {
            expectNear(darkArea(*raster), *c.dark);
        }
    }
}

TEST(PDFPageRasterizer, WhiteWhereNothingIsDrawnAndColoursInRGBOrder) {
    auto pdf = buildPdf({FixturePage{.mediaBox = {0, 0, 200, 100}}, FixturePage{.mediaBox = {0, 0, 200, 100}}});
    // Page 1: a transparency group whose only fill is fully transparent.
    auto first = pdf->getAllPages().at(0);
    first.replaceKey("/Group", QPDFObjectHandle::parse("<< /S /Transparency /CS /DeviceRGB /I true /K false >>"));
    first.getKey("/Resources").replaceKey("/ExtGState", QPDFObjectHandle::parse("<< /Clear << /ca 0 >> >>"));
    first.replaceKey("/Contents", pdf->newStream("/Clear gs 0 g 0 0 200 100 re f"));
    // Page 2: a red square on the left, a blue one on the right.
    auto second = pdf->getAllPages().at(1);
    second.replaceKey("/Contents", pdf->newStream("1 0 0 rg 0 0 100 100 re f 0 0 1 rg 100 0 100 100 re f"));
    const SavedPdf saved(*pdf);
    const auto& document = saved.document;
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

// A tiling pattern that paints itself every ten-thousandth of a point never finishes drawing (as in
// pdftoppm): it is stopped at the time limit with its page number and the reason, and the
// document's next page still draws, in a renderer of its own.
TEST(PDFPageRasterizer, ARunawayPageIsStoppedAndTheNextPageStillDrawsAlsoAfterACtrlC) {
    // A process group of our own, with the renderers started from now on: Ctrl-C goes to it below.
    if (::getpgid(0) != ::getpid()) {
        ASSERT_EQ(::setpgid(0, 0), 0);
    }
    const auto pdf = buildPdf({FixturePage{}, FixturePage{.blackRects = {{0, 0, 306, 792}}}});
    fillWithRunawayPattern(*pdf, 0);
    const SavedPdf saved(*pdf);
    const auto& document = saved.document;
    ASSERT_TRUE(document);

    try {
        PDFPageRasterizer::render(*document->page(0), 300, std::chrono::seconds(2));
        ADD_FAILURE() << "the runaway page was drawn";
    } catch (const OCRError& error) {
        EXPECT_EQ(error.description(), "Rendering page 1 failed: it took longer than 2 seconds to draw, so it was stopped.");
    }
    const auto next = PDFPageRasterizer::render(*document->page(1), 36);
    ASSERT_TRUE(next);
    EXPECT_EQ(darkArea(*next), cv::Rect(0, 0, 153, 396));

    // A terminal's Ctrl-C goes to its whole foreground process group, as here. It is for the
    // program (which may let the pages in progress finish), not for the renderer.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &previous);
    ::kill(0, SIGINT);
    QThread::msleep(200);
    EXPECT_TRUE(PDFPageRasterizer::render(*document->page(1), 36));
    ::sigaction(SIGINT, &previous, nullptr);
}
