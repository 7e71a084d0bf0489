#include "pipeline/CoordinateMapper.h"

#include "support/PdfBuilder.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvane;
namespace CM = quorvane::CoordinateMapper;

namespace {

Point map(const AffineTransform& t, double x, double y) {
    return t.map({x, y});
}

void expectPoint(const Point& actual, double x, double y) {
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
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
    EXPECT_EQ(CM::drawTransform(crop, 90).mapRect(crop), (Rect{0, 0, ch, cw}));
    EXPECT_EQ(CM::drawTransform(crop, 270).mapRect(crop), (Rect{0, 0, ch, cw}));
    EXPECT_LT(map(CM::drawTransform(crop, 0), 0, 0).x, 0);

    // Quarter turns are exact: no 1e-17 residues in the matrix.
    const AffineTransform turned = CM::drawTransform(crop, 90);
    EXPECT_EQ(turned.m11(), 0.0);
    EXPECT_EQ(turned.m22(), 0.0);
    EXPECT_EQ(std::abs(turned.m12()), 1.0);
}

// Quarter turns and deskew angles on top of the page's rotation are shown end to end: turned and
// tilted pages come out upright with their text layer on the words (PageCorrections).

TEST(CoordinateMapper, NormalizedRectsScaleIntoTheTarget) {
    EXPECT_EQ(CM::mapNormalizedRect({0, 0, 1, 1}, {0, 0, 600, 800}), (Rect{0, 0, 600, 800}));
    EXPECT_EQ(CM::mapNormalizedRect({0.25, 0.5, 0.5, 0.1}, {0, 0, 600, 800}), (Rect{150, 400, 300, 80}));
    // No flip, and the target's origin is kept.
    EXPECT_EQ(CM::mapNormalizedRect({0.5, 0, 0.5, 0.5}, {10, 20, 100, 200}), (Rect{60, 20, 50, 100}));
}
