#pragma once

// The one adapter between the system and the text recognizer: a page bitmap and the job's
// options in, recognised lines out. It keeps no state between calls; the engines it borrows
// come from a process-wide pool, so concurrent calls from different threads are safe.

#include "core/OCROptions.h"
#include "core/OCRRecords.h"
#include "platform/Raster.h"

#include <QStringList>
#include <vector>

namespace quorvane {

class TesseractOCRService {
public:
    // Lines in the recognizer's order, boxes normalised to `bitmap` with the origin at the bottom
    // left. Throws PlatformError when the recognizer fails.
    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const;

    // The catalog tags whose language data is installed, in catalog order.
    static QStringList supportedLanguages();
};

} // namespace quorvane
