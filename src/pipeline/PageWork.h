#pragma once

// The work on one page bitmap, off the main thread: cleaning, recognition and the corrections,
// each change followed by a fresh recognition of the whole changed image.

#include "core/OCROptions.h"
#include "core/OCRRecords.h"
#include "core/Raster.h"
#include "core/TextRecognizer.h"
#include "platform/RasterEncoder.h"

#include <optional>
#include <vector>

namespace quorvane {

struct PageOutcome {
    std::vector<OCRLine> lines;           // of the last image recognised, possibly limited to the region
    int turnsCW = 0;                      // clockwise quarter turns applied
    double deskewAngle = 0;               // radians applied by deskew, 0 when none
    std::optional<EncodedRaster> correctedRaster; // the perspective-corrected page, when applied
};

struct UprightPage {
    int turnsCW = 0; // clockwise quarter turns applied
    Raster raster;   // the page turned by them
    std::vector<OCRLine> lines;
};

namespace PageWork {

// The cleaned page turned upright, when the rotation switch is on, and recognised with `options`.
// Throws the recognizer's error unchanged.
UprightPage upright(const Raster& cleaned, const OCROptions& options, const TextRecognizer& recognizer);

// Takes the page's bitmap over and lets go of it once it is cleaned, so that it is not kept
// through recognition. Throws the recognizer's error unchanged.
PageOutcome process(Raster bitmap, const OCROptions& options, const TextRecognizer& recognizer);

} // namespace PageWork

} // namespace quorvane
