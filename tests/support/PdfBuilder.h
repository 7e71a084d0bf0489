#pragma once

// Small PDFs built with QPDF for the tests: pages of given boxes and rotation with content
// operators, black rectangles, a line of Helvetica, a scanned image, or image XObjects of given
// pixel sizes; plain or encrypted.

#include "core/Geometry.h"
#include "core/Raster.h"
#include "platform/PdfDocument.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <string>
#include <vector>

namespace quorvane::test {

struct ImageSize {
    long long width = 0;
    long long height = 0;
};

// Every page has /F1, Helvetica in WinAnsiEncoding, among its resources. Drawn in this order:
// `content`, `image`, `blackRects`, `text`.
struct FixturePage {
    Rect mediaBox{0, 0, 612, 792};
    std::optional<Rect> cropBox = {};
    std::optional<int> rotate = {};
    std::string content = {};           // operators in the page's user space
    std::vector<Rect> blackRects = {};  // filled in the page's user space
    QString text = {};                  // one line of 24-point Helvetica near the top left
    QImage image = {};                  // a scan, as 8-bit grey XObject /Scan
    std::optional<Rect> imageRect = {}; // where the scan is drawn; the whole media box by default
    std::vector<ImageSize> images = {}; // 1-bit white XObjects /Im0, /Im1, ..., not drawn
    bool withAnnotation = false;        // a link annotation
};

// An empty document with these pages added.
std::unique_ptr<QPDF> buildPdf(const std::vector<FixturePage>& pages);

// A 1-bit white image XObject of the given size (compressed when written).
QPDFObjectHandle newImage(QPDF& pdf, ImageSize size);

// Writes the document; encrypted with AES-256 (an empty user password restricts permissions only).
void savePdf(QPDF& pdf, const QString& path);
void saveEncryptedPdf(QPDF& pdf, const QString& path, const char* userPassword, const char* ownerPassword);

// Opens the PDF at `path`, applies `change` and writes it back in its place.
void editPdf(const QString& path, const std::function<void(QPDF&)>& change);

// A built document saved as `name` into a scratch folder of its own and opened as the pipeline
// opens it (`document` is null when it does not open).
struct SavedPdf {
    QTemporaryDir folder;
    QString path;
    std::unique_ptr<PdfDocument> document;
    explicit SavedPdf(QPDF& pdf, const QString& name = QStringLiteral("document.pdf"));
};

// buildPdf and savePdf, or saveEncryptedPdf (owner password "owner") with a password; false when
// it could not be written.
bool writePdf(const QString& path, const std::vector<FixturePage>& pages, const char* password = nullptr);

// A page showing the raster at 300 DPI, displayed turned by `rotate` degrees.
FixturePage scanPage(const Raster& raster, int rotate = 0);

// A scan of one line of words, 4.25 x 2 inches at 300 DPI (quick to recognise), locked with
// `password` when there is one.
bool writeScan(const QString& path, const QString& words, const char* password = nullptr);
// One page of it, named `name` in `folder`; its path (a failure to write it fails the test).
QString smallScan(const QString& folder, const QString& name, const char* password = nullptr);

// Hostile pages, made from a built document's page `index`: filled with a tiling pattern that
// paints itself every ten-thousandth of a point (a renderer drawing it tile by tile never ends), or
// whose content is `zeros` zero bytes, Flate-compressed (a gigabyte fits in a megabyte).
void fillWithRunawayPattern(QPDF& pdf, int index);
void replaceContentWithZeros(QPDF& pdf, int index, long long zeros);

// A PDF written by hand, for damage that QPDF would not write: the objects numbered from 1, the
// first being the catalog, with a correct cross-reference table.
QByteArray handWrittenPdf(const std::vector<QByteArray>& objects);

// A new document with copies of the first `count` pages of `source` (all when negative), as the
// searchable copy starts.
std::unique_ptr<QPDF> pageCopies(const PdfDocument& source, int count = -1);

} // namespace quorvane::test
