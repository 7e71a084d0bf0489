#include "pipeline/PageWork.h"

#include "corrections/OCRRegion.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"

#include <exception>
#include <future>

namespace quorvane::PageWork {

PageOutcome process(const Raster& bitmap, const OCROptions& options, const TesseractOCRService& ocr) {
    // Every later step starts from the cleaned page; the uncleaned one is not used again.
    const Raster cleaned = Preprocessor::apply(bitmap, options.preprocessing);
    Raster current = cleaned;
    PageOutcome outcome;
    int turns = 0;
    bool probed = false;
    bool recognisedTurned = false;
    // A first pass over a turned page costs a whole recognition and is thrown away. Tesseract's
    // orientation guess tells most turned pages apart for a small fraction of that, so such a
    // page is probed straight away, while the page turned as guessed is recognised on a thread of
    // its own. The probe still decides: when it disagrees, that recognition is dropped, and when
    // it keeps the page as it is, the first pass follows.
    const int hint = options.autoRotate ? TesseractOCRService::orientationHint(PageOrientation::downscaled(
                                              cleaned, PageOrientation::probeMaxDimension))
                                        : 0;
    if (hint != 0) {
        const Raster guessed = PageOrientation::rotated(cleaned, hint);
        auto guessedLines = std::async(std::launch::async, [&ocr, &options, guessed] {
            return ocr.recognize(guessed, options);
        });
        std::exception_ptr probeError;
        try {
            turns = PageOrientation::probe(cleaned, std::nullopt, options, ocr);
        } catch (...) {
            probeError = std::current_exception();
        }
        guessedLines.wait(); // it borrows this frame's options
        if (probeError) {
            std::rethrow_exception(probeError);
        }
        probed = true;
        if (turns == hint) {
            current = guessed;
            outcome.lines = guessedLines.get();
            recognisedTurned = true;
        }
    }
    if (turns == 0) {
        outcome.lines = ocr.recognize(current, options);
        if (options.autoRotate && !probed) {
            turns = PageOrientation::probe(cleaned, outcome.lines, options, ocr);
        }
    }
    if (turns != 0) {
        outcome.turnsCW = turns;
        if (!recognisedTurned) {
            current = PageOrientation::rotated(cleaned, turns);
            outcome.lines = ocr.recognize(current, options);
        }
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
