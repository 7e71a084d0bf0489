#pragma once

// Produces the searchable PDF: every page shows its source content (or a corrected raster) with
// the recognised lines as invisible text over the words.

#include "core/OCRRecords.h"
#include "platform/PdfDocument.h"
#include "platform/RasterEncoder.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace quorvane::TextLayerWriter {

struct PageInput {
    PdfPage page;                               // the source page
    Rect outputBounds;                          // the page's canvas in display space, and its boxes
    int turnsCW = 0;                            // clockwise quarter turns applied to the page
    double deskewAngle = 0;                     // radians, counter-clockwise positive
    std::optional<EncodedRaster> correctedRaster = {}; // replaces the page content when present
    std::vector<OCRLine> lines = {};            // reading order, boxes normalised to the canvas
    int pageIndex = 0;
    bool skippedExistingText = false;
};

// Writes the pages (sorted by page index) to a hidden temporary file next to `outputPath` and then
// puts it in place; the output path is untouched on every failure. The copy keeps the source's
// annotations, form fields, outline and encryption. Returns what of the source could not be
// carried over, one readable text each (empty when everything was). A new output gets
// `permissions` less the umask; a replaced one keeps its own. Throws OCRError (or PlatformError
// for file-system failures).
QStringList write(std::vector<PageInput> pages, const DocumentAttributes& attributes, const QString& outputPath,
                  bool srgbOutputIntent, const PdfDocument* source, mode_t permissions = 0666);

// Why the output could not be created in its folder, as a readable text.
QString diagnoseContextFailure(const QString& outputPath);
// The same for a file beside the output that the system refused with `error` (an errno value): the
// folder's problem as above, or the disk's (full, read-only).
QString explainCreationFailure(const QString& outputPath, int error);

} // namespace quorvane::TextLayerWriter
