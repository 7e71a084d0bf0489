#include "pipeline/CoordinateMapper.h"

#include "support/PdfBuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;
namespace CM = quorvane::CoordinateMapper;

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

// Where boxes land on turned, cropped and tilted pages is shown end to end: the text layer lies on
// the words a reader sees (PageCorrections, ScannedPdf, TextLayerWriter).
