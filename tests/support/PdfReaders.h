#pragma once

// What independent readers see in a PDF: poppler-utils (pdftotext, pdftoppm, pdfinfo), qpdf,
// and Tesseract reading a page as pdftoppm renders it.

#include "core/Geometry.h"

#include <QByteArrayList>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quorvane::test {

// Text that pdftotext extracts from a PDF (all pages, or one 1-based page).
QString pdfText(const QString& pdfPath, int page = 0);

// A word with its box in points, origin at the page's top left.
struct PdfWord {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QRectF box() const { return QRectF(QPointF(xMin, yMin), QPointF(xMax, yMax)); }
};
// The words of the text layer of page `page` (1-based), as pdftotext -bbox reports them.
std::vector<PdfWord> pdfWords(const QString& pdfPath, int page);
std::optional<PdfWord> findWord(const std::vector<PdfWord>& words, const QString& text);
// The words Tesseract reads on the page rendered at `dpi`, with a confidence of at least 50.
std::vector<PdfWord> seenWords(const QString& pdfPath, int page, int dpi = 150);

// Page `page` (1-based) as a reader shows it (its crop box), without annotations unless asked
// for, rendered by pdftoppm in 8-bit grey at `dpi`; null when rendering fails.
QImage renderPage(const QString& pdfPath, int page, int dpi = 72, bool withAnnotations = false);
// The smallest rectangle (pixels, top-left origin) holding every pixel darker than 128.
QRect darkArea(const QImage& image);

// What pdfinfo -box reports for page `page` (1-based): "MediaBox" ... "ArtBox" as rectangles
// (x, y, width, height) and the rotation under "rot".
struct PdfPageInfo {
    QMap<QString, Rect> boxes;
    int rotation = -1;
};
PdfPageInfo pdfPageInfo(const QString& pdfPath, int page);

// The number of pages qpdf counts; -1 when it cannot read the file.
int pdfPageCount(const QString& pdfPath);

// What pdfinfo says about the document: "Title" -> "...", in UTF-8.
QMap<QString, QString> documentInfo(const QString& pdfPath);

// The outline as qpdf --json reports it: one line per entry, indented by depth, with its title,
// open state, 1-based destination page and the destination's view.
QStringList outlineSummary(const QString& pdfPath);

// The annotations of page `page` (1-based) as qpdf --json shows them: each one's dictionary, with
// references as "12 0 R" strings and names as "/Link", and its own reference under "object".
// `pageObject` receives the page's own reference.
QList<QJsonObject> pdfAnnotations(const QString& pdfPath, int page, QString* pageObject = nullptr);
// A "/Rect" (or any four numbers) of such a dictionary as (x, y, width, height).
Rect rectOf(const QJsonValue& array);

// The raw (still encoded) data of every image XObject of the document.
QByteArrayList imageStreams(const QString& pdfPath);
// The images each page shows as pdfimages -list reports them (page, size, colour, encoding,
// resolution, bytes), one line each, without the object numbers.
QStringList imageList(const QString& pdfPath);

// The shared reading-order score (../shared/tools/word-order) of a PDF's text layer, or of a text
// file, against a transcription; -1 when it cannot be computed.
double wordOrder(const QString& pdfPath, const QString& truthPath, const QString& sidecarPath = {});

// qpdf --check finds neither errors nor warnings.
void expectCleanPdf(const QString& pdfPath);

// Where a page's text layer lies against where its words are seen (layer: pdfWords; seen:
// seenWords).
struct Placement {
    int matched = 0;      // words of four or more letters found exactly once on both sides
    int onInk = 0;        // of those, layer boxes that overlap the seen word horizontally and cover it
                          // vertically with an intersection over union of at least 0.5
    int uprightWords = 0; // seen words of four or more letters that are wider than tall
    int seenLongWords = 0;
    double onInkShare() const { return matched > 0 ? double(onInk) / matched : 0; }
    double uprightShare() const { return seenLongWords > 0 ? double(uprightWords) / seenLongWords : 0; }
};
Placement comparePlacement(const std::vector<PdfWord>& layer, const std::vector<PdfWord>& seen);

} // namespace quorvane::test
