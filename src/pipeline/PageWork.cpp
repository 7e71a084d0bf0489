#include "pipeline/PageWork.h"

namespace quorvane::PageWork {

PageOutcome process(const Raster& bitmap, const OCROptions& options, const TesseractOCRService& ocr) {
    PageOutcome outcome;
    outcome.lines = ocr.recognize(bitmap, options);
    return outcome;
}

} // namespace quorvane::PageWork
