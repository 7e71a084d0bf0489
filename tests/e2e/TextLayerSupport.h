#pragma once

// Reading back where an output page's text layer lies, against where its words are seen: the
// layer's words come from pdftotext -bbox, the seen words from Tesseract reading the page as
// pdftoppm renders it. Both in points, origin at the top left of the page.

#include <QList>
#include <QRectF>
#include <QString>

namespace quorvane::test {

struct PlacedWord {
    QString text;
    QRectF box;
};

// The words of the text layer of one page (1-based).
QList<PlacedWord> layerWords(const QString& pdf, int page);

// The words Tesseract reads on one page rendered at `dpi`, with a confidence of at least 50.
QList<PlacedWord> seenWords(const QString& pdf, int page, int dpi = 150);

struct Placement {
    int matched = 0;      // words of four or more letters found exactly once on both sides
    int onInk = 0;        // of those, layer boxes that overlap the seen word horizontally and cover it
                          // vertically with an intersection over union of at least 0.5
    int uprightWords = 0; // seen words of four or more letters that are wider than tall
    int seenLongWords = 0;
    double onInkShare() const { return matched > 0 ? double(onInk) / matched : 0; }
    double uprightShare() const { return seenLongWords > 0 ? double(uprightWords) / seenLongWords : 0; }
};

Placement comparePlacement(const QList<PlacedWord>& layer, const QList<PlacedWord>& seen);

} // namespace quorvane::test
