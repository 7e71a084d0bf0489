#pragma once

// Scanned-looking PDFs built by the tests: pages that show an image of text drawn with Qt, with
// optional crop boxes, rotation and a real text layer.

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace quorvane::test {

struct Word {
    QRect pixels;  // where the word is drawn, in image pixels (top-left origin)
    QString text;
};

// A white greyscale page image with each word drawn in black, filling its rectangle's height.
QImage renderWords(QSize size, const QList<Word>& words);

// Lines of text, one under another, for pages that need readable text.
QImage renderParagraph(QSize size, const QStringList& lines, int pixelHeight = 40);

struct FixturePage {
    QImage image;                     // null for no image
    std::optional<QRectF> imageRect;  // where the image is drawn, points; the whole media box by default
    double width = 612;               // media box, points
    double height = 792;
    std::optional<QRectF> cropBox;    // points, PDF coordinates
    int rotate = 0;
    QString textLayer;                // drawn as ordinary Helvetica text when not empty
};

// Writes a PDF of these pages with QPDF. Returns false when it could not be written.
bool writePdf(const QString& path, const QList<FixturePage>& pages);

} // namespace quorvane::test
