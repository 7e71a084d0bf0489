#pragma once

// The value records in which recognised text travels through the system.

#include "core/Geometry.h"

#include <QString>
#include <vector>

namespace quorvane {

// Part of a line that a wide gap sets apart from the rest (a table's columns, a form's fields),
// with a box of its own, so that its invisible text can lie on its words rather than over the gap.
struct OCRTextSpan {
    qsizetype start = 0; // where it begins in the line's text; it ends where the next one begins
    Rect boundingBox;    // as the line's

    bool operator==(const OCRTextSpan&) const = default;
};

struct OCRLine {
    QString text;        // the recognizer's best candidate, unchanged
    Rect boundingBox;    // normalised 0..1, origin at the bottom left of the recognised image
    float confidence = 0; // 0..1
    double angle = 0;    // slope of the line's top edge in radians, normalised coordinates
    std::vector<OCRTextSpan> spans; // in text order; none when no wide gap parts the line

    bool operator==(const OCRLine&) const = default;
};

struct PageOCRResult {
    int pageIndex = 0;
    std::vector<OCRLine> lines; // reading order
    bool skippedExistingText = false;
};

struct DocumentOCRResult {
    QString sourceURL;
    QString outputURL;
    int totalPages = 0;
    int processedPages = 0;
    int skippedPages = 0;
    std::vector<PageOCRResult> pageResults;
};

} // namespace quorvane
