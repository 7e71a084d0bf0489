#pragma once

// Source PDFs built by the tests with QPDF, and what independent readers (pdftotext, pdftoppm,
// pdfinfo) see in a PDF.

#include "core/Geometry.h"

#include <QImage>
#include <QMap>
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::test {

struct VectorPage {
    Rect mediaBox{0, 0, 612, 792};
    std::optional<Rect> cropBox = {};
    int rotate = 0;
    // Content stream operators in the page's user space. Resources: /F1 Helvetica, and with
    // `withImage` the image /Im0 (16 x 16 grey pixels, Flate-compressed).
    std::string content = {};
    bool withImage = false;
    bool withAnnotation = false; // a link annotation
};

// Writes a PDF with these pages.
void writeVectorPdf(const QString& path, const std::vector<VectorPage>& pages);

// Content operators that fill a rectangle black.
std::string blackRectangle(const Rect& r);

// Page `page` (1-based) as a reader shows it (its crop box), without annotations, rendered by
// pdftoppm in 8-bit grey at `dpi`; null when rendering fails.
QImage renderPage(const QString& pdfPath, int page, int dpi = 72);
// The smallest rectangle (pixels, top-left origin) holding every pixel darker than 128.
QRect darkArea(const QImage& image);

// A word as pdftotext -bbox reports it: points, origin at the page's top left.
struct PdfWord {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};
std::vector<PdfWord> pdfWords(const QString& pdfPath, int page);
std::optional<PdfWord> findWord(const std::vector<PdfWord>& words, const QString& text);

// What pdfinfo -box reports for page `page` (1-based): "MediaBox" ... "ArtBox" as rectangles
// (x, y, width, height) and the rotation under "rot".
struct PdfPageInfo {
    QMap<QString, Rect> boxes;
    int rotation = -1;
};
PdfPageInfo pdfPageInfo(const QString& pdfPath, int page);

} // namespace quorvane::test
