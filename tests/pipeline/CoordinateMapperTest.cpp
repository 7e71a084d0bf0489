#include "pipeline/CoordinateMapper.h"

#include "support/PdfBuilder.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace quorvane;
namespace CM = quorvane::CoordinateMapper;

namespace {

QPointF map(const QTransform& t, double x, double y) {
    return t.map(QPointF(x, y));
}

void expectPoint(const QPointF& actual, double x, double y) {
    EXPECT_NEAR(actual.x(), x, 1e-9);
    EXPECT_NEAR(actual.y(), y, 1e-9);
}

// The rectangle the transformation makes of `r`, axis-aligned.
QRectF mapped(const QTransform& t, const Rect& r) {
    return t.mapRect(QRectF(r.x, r.y, r.width, r.height));
}

} // namespace

TEST(CoordinateMapper, DisplayBoundsFollowCropAndRotation) {
    QTemporaryDir folder;
    const QString path = folder.filePath("pages.pdf");
    const Rect crop{50, 60, 500, 700};
    ASSERT_TRUE(test::writePdf(path, {{.cropBox = crop},
                                {.cropBox = crop, .rotate = 90},
                                {.cropBox = crop, .rotate = 180},
                                {.cropBox = crop, .rotate = 270},
                                {.cropBox = crop, .rotate = 45},
                                {.rotate = -90}}));
    const auto document = PdfDocument::open(path);
    ASSERT_TRUE(document);
    EXPECT_EQ(CM::displayBounds(*document->page(0)), (Rect{0, 0, 500, 700}));
    EXPECT_EQ(CM::displayBounds(*document->page(1)), (Rect{0, 0, 700, 500}));
    EXPECT_EQ(CM::displayBounds(*document->page(2)), (Rect{0, 0, 500, 700}));
    EXPECT_EQ(CM::displayBounds(*document->page(3)), (Rect{0, 0, 700, 500}));
    // Not a quarter turn: treated as no rotation, both for the bounds and for drawing.
    EXPECT_EQ(CM::displayBounds(*document->page(4)), (Rect{0, 0, 500, 700}));
    EXPECT_EQ(CM::drawTransform(*document->page(4)), CM::drawTransform(crop, 0));
    // -90 is 270.
    EXPECT_EQ(CM::displayBounds(*document->page(5)), (Rect{0, 0, 792, 612}));
    EXPECT_EQ(CM::drawTransform(*document->page(5)), CM::drawTransform(Rect{0, 0, 612, 792}, 270));
}

TEST(CoordinateMapper, PageRotationDrawsThePageAsAReaderShowsIt) {
    const Rect crop{50, 50, 612, 792};
    const double cw = crop.width, ch = crop.height;
    // A point of the crop box, relative to its lower-left corner.
    const double x = 100, y = 30;

    expectPoint(map(CM::drawTransform(crop, 0), 50 + x, 50 + y), x, y);
    expectPoint(map(CM::drawTransform(crop, 90), 50 + x, 50 + y), y, cw - x);
    expectPoint(map(CM::drawTransform(crop, 180), 50 + x, 50 + y), cw - x, ch - y);
    expectPoint(map(CM::drawTransform(crop, 270), 50 + x, 50 + y), ch - y, x);

    // The whole crop box fills the display bounds; what lies left of it lands at negative x.
    EXPECT_EQ(mapped(CM::drawTransform(crop, 90), crop), QRectF(0, 0, ch, cw));
    EXPECT_EQ(mapped(CM::drawTransform(crop, 270), crop), QRectF(0, 0, ch, cw));
    EXPECT_LT(map(CM::drawTransform(crop, 0), 0, 0).x(), 0);

    // Quarter turns are exact: no 1e-17 residues in the matrix.
    const QTransform turned = CM::drawTransform(crop, 90);
    EXPECT_EQ(turned.m11(), 0.0);
    EXPECT_EQ(turned.m22(), 0.0);
    EXPECT_EQ(std::abs(turned.m12()), 1.0);
}

TEST(CoordinateMapper, QuarterTurnsTurnTheDisplayedPageClockwise) {
    const Rect page{0, 0, 600, 800};
    const QTransform one = CM::drawTransform(page, 0, 1);
    EXPECT_EQ(mapped(one, page), QRectF(0, 0, 800, 600));
    // The top edge's middle ends at the right edge's middle.
    expectPoint(map(one, 300, 800), 800, 300);

    const QTransform two = CM::drawTransform(page, 0, 2);
    EXPECT_EQ(mapped(two, page), QRectF(0, 0, 600, 800));
    expectPoint(map(two, 0, 0), 600, 800);

    const QTransform three = CM::drawTransform(page, 0, 3);
    EXPECT_EQ(mapped(three, page), QRectF(0, 0, 800, 600));
    expectPoint(map(three, 300, 800), 0, 300);

    // Turns combine with the page's rotation: rotation 90 then one more turn is upside down.
    const Rect crop{0, 0, 600, 800};
    const QTransform combined = CM::drawTransform(crop, 90, 1);
    EXPECT_EQ(mapped(combined, crop), QRectF(0, 0, 600, 800));
    expectPoint(map(combined, 0, 0), 600, 800);

    EXPECT_EQ(CM::canvasBounds(page, 1, 0), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(CM::canvasBounds(page, 2, 0), page);
}

TEST(CoordinateMapper, DeskewRotatesAboutTheCentreOfTheEnlargedCanvas) {
    const Rect page{0, 0, 600, 800};
    // Below the threshold an angle changes nothing.
    EXPECT_EQ(CM::drawTransform(page, 0, 0, 0.00005), CM::drawTransform(page, 0, 0, 0));
    EXPECT_EQ(CM::canvasBounds(page, 0, 0.00005), page);

    const Rect canvas = CM::canvasBounds(page, 0, 0.01);
    EXPECT_NEAR(canvas.width, 607.97, 0.005);
    EXPECT_NEAR(canvas.height, 805.96, 0.005);

    const QTransform t = CM::drawTransform(page, 0, 0, 0.01);
    // The page's centre goes to the canvas centre; the page's corners stay inside the canvas,
    // touching its edges.
    expectPoint(map(t, 300, 400), canvas.width / 2, canvas.height / 2);
    const QRectF drawn = mapped(t, page);
    EXPECT_NEAR(drawn.left(), 0, 1e-9);
    EXPECT_NEAR(drawn.top(), 0, 1e-9);
    EXPECT_NEAR(drawn.right(), canvas.width, 1e-9);
    EXPECT_NEAR(drawn.bottom(), canvas.height, 1e-9);
    // Counter-clockwise: the bottom-right corner rises.
    EXPECT_GT(map(t, 600, 0).y(), map(t, 0, 0).y());

    // With a quarter turn the canvas is that of the turned page.
    const Rect turned = CM::canvasBounds(page, 1, -0.01);
    EXPECT_NEAR(turned.width, 805.96, 0.005);
    EXPECT_NEAR(turned.height, 607.97, 0.005);
    expectPoint(map(CM::drawTransform(page, 0, 1, -0.01), 300, 400), turned.width / 2, turned.height / 2);

    const double quarter = std::numbers::pi / 2;
    EXPECT_NEAR(CM::canvasBounds(page, 0, quarter).width, 800, 1e-9);
}

TEST(CoordinateMapper, NormalizedRectsScaleIntoTheTarget) {
    EXPECT_EQ(CM::mapNormalizedRect({0, 0, 1, 1}, {0, 0, 600, 800}), (Rect{0, 0, 600, 800}));
    EXPECT_EQ(CM::mapNormalizedRect({0.25, 0.5, 0.5, 0.1}, {0, 0, 600, 800}), (Rect{150, 400, 300, 80}));
    // No flip, and the target's origin is kept.
    EXPECT_EQ(CM::mapNormalizedRect({0.5, 0, 0.5, 0.5}, {10, 20, 100, 200}), (Rect{60, 20, 50, 100}));
}
