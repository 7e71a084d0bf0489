#include "pipeline/CoordinateMapper.h"

#include "support/PdfBuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvane;
namespace CM = quorvane::CoordinateMapper;

// The bounds of every turn and crop are the rasterizer's page sizes (PDFPageRasterizer); the text
// layer's drawing matrix reads the same rotation.
TEST(CoordinateMapper, DrawingReadsTheRotationAsTheBoundsDo) {
    QTemporaryDir folder;
    const QString path = folder.filePath("pages.pdf");
    const Rect crop{50, 60, 500, 700};
    ASSERT_TRUE(test::writePdf(path, {{.cropBox = crop, .rotate = 45}, {.rotate = -90}}));
    const auto document = PdfDocument::open(path);
    ASSERT_TRUE(document);
    // Not a quarter turn: treated as no rotation.
    EXPECT_EQ(CM::drawTransform(*document->page(0)), CM::drawTransform(crop, 0));
    // -90 is 270 (and so are its bounds: PDFPageRasterizer).
    EXPECT_EQ(CM::drawTransform(*document->page(1)), CM::drawTransform(Rect{0, 0, 612, 792}, 270));
}

// Where boxes land on turned, cropped and tilted pages is shown end to end: the text layer lies on
// the words a reader sees (PageCorrections, ScannedPdf, TextLayerWriter).
