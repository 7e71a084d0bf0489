#include "pipeline/PageWork.h"

#include "corrections/OCRRegion.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"

namespace quorvane::PageWork {

PageOutcome process(const Raster& bitmap, const OCROptions& options, const TesseractOCRService& ocr) {
    // Every later step starts from the cleaned page; the uncleaned one is not used again.
    const Raster cleaned = Preprocessor::apply(bitmap, options.preprocessing);
    Raster current = cleaned;
    PageOutcome outcome;
    int turns = 0;
    bool probed = false;
    // A first pass over a turned page costs a whole recognition and is thrown away. Tesseract's
    // orientation guess tells most turned pages apart for a small fraction of that, so such a
    // page is probed straight away; the probe still decides, and when it keeps the page as it is
    // the first pass follows.
    if (options.autoRotate &&
        TesseractOCRService::orientationHint(
            PageOrientation::downscaled(cleaned, PageOrientation::probeMaxDimension)) != 0) {
        turns = PageOrientation::probe(cleaned, std::nullopt, options, ocr);
        probed = true;
    }
    if (turns == 0) {
        outcome.lines = ocr.recognize(current, options);
        if (options.autoRotate && !probed) {
            turns = PageOrientation::probe(cleaned, outcome.lines, options, ocr);
        }
    }
    if (turns != 0) {
        current = PageOrientation::rotated(cleaned, turns);
        outcome.turnsCW = turns;
        outcome.lines = ocr.recognize(current, options);
    }

    if (options.deskew) {
        const double skew = PageDeskew::estimateAngle(outcome.lines, current.cols, current.rows);
        if (skew != 0) {
            // A page whose rotation cannot be rendered keeps angle 0, so its text layer stays
            // on the raster that was really recognised.
            if (auto straightened = PageDeskew::rotated(current, -skew)) {
                current = *straightened;
                outcome.deskewAngle = -skew;
                outcome.lines = ocr.recognize(current, options);
            }
        }
    }

    if (options.perspective) {
        if (const auto params = PagePerspective::detect(outcome.lines, current.cols, current.rows)) {
            if (auto corrected = PagePerspective::apply(current, *params, current.cols, current.rows)) {
                current = *corrected;
                outcome.correctedRaster = current;
                outcome.lines = ocr.recognize(current, options);
            }
        }
    }

    if (options.region) {
        outcome.lines = OCRRegion::filter(outcome.lines, options.region);
    }
    return outcome;
}

} // namespace quorvane::PageWork
