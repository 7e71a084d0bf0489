#pragma once

// Builds small PDFs with QPDF for tests: pages of given boxes and rotation, black rectangles at
// known places, a line of text, image XObjects of given pixel sizes, encrypted copies.

#include "core/Geometry.h"

#include <QString>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <vector>

namespace quorvane::test {

struct ImageSize {
    long long width = 0;
    long long height = 0;
};

struct FixturePage {
    Rect mediaBox{0, 0, 612, 792};
    std::optional<Rect> cropBox = {};
    std::optional<int> rotate = {};
    std::vector<Rect> blackRects = {}; // filled in the page's user space
    QString text = {};            // one line of Helvetica near the top left, when not empty
    std::vector<ImageSize> images = {}; // image XObjects /Im0, /Im1, ... in the page's resources
};

// An empty document with these pages added.
std::unique_ptr<QPDF> buildPdf(const std::vector<FixturePage>& pages);

// A 1-bit white image XObject of the given size (compressed when written).
QPDFObjectHandle newImage(QPDF& pdf, ImageSize size);

// Writes the document; with a password pair, encrypted with AES-256 (the user password may be
// empty, which restricts permissions only).
void savePdf(QPDF& pdf, const QString& path);
void saveEncryptedPdf(QPDF& pdf, const QString& path, const char* userPassword, const char* ownerPassword);

// Shorthand: buildPdf and savePdf.
QString writePdf(const QString& path, const std::vector<FixturePage>& pages);

} // namespace quorvane::test
