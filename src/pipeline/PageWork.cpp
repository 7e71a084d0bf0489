#include "pipeline/PageWork.h"

#include "corrections/OCRRegion.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"

#include <QtConcurrent/QtConcurrentRun>

#include <exception>

namespace quorvane::PageWork {

namespace {

struct Upright {
    int turns = 0; // clockwise quarter turns applied
    Raster raster;
    std::vector<OCRLine> lines;
};

Upright turnedAndRecognised(const Raster& page, int turns, const OCROptions& options, const TesseractOCRService& ocr) {
    const Raster turned = PageOrientation::rotated(page, turns);
    return {turns, turned, ocr.recognize(turned, options)};
}

// The cleaned page turned upright, when the rotation switch is on, and recognised.
Upright uprightPage(const Raster& cleaned, const OCROptions& options, const TesseractOCRService& ocr) {
    if (!options.autoRotate) {
        return {0, cleaned, ocr.recognize(cleaned, options)};
    }
    const int guess =
        TesseractOCRService::orientationHint(PageOrientation::downscaled(cleaned, PageOrientation::probeMaxDimension));
    if (guess == 0) {
        auto firstPass = ocr.recognize(cleaned, options);
        const int turns = PageOrientation::probe(cleaned, firstPass, options, ocr);
        return turns == 0 ? Upright{0, cleaned, std::move(firstPass)} : turnedAndRecognised(cleaned, turns, options, ocr);
    }
    // A first pass over a turned page costs a whole recognition and is thrown away. Tesseract's
    // orientation guess tells most turned pages apart for a small fraction of that, so such a
    // page is probed straight away, while the page turned as guessed is recognised on a thread of
    // its own. The probe still decides: when it disagrees, that recognition is dropped.
    struct Guessed {
        Upright upright;
        std::exception_ptr error; // QtConcurrent passes on only its own exception type
    };
    // Queued before the probe's candidates, on the same threads: the longest recognition starts first.
    QFuture<Guessed> guessed = QtConcurrent::run(PageOrientation::recognitionPool(), [&] {
        Guessed result;
        try {
            result.upright = turnedAndRecognised(cleaned, guess, options, ocr);
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    });
    int turns = 0;
    try {
        turns = PageOrientation::probe(cleaned, std::nullopt, options, ocr);
    } catch (...) {
        guessed.waitForFinished(); // it borrows this frame's arguments
        throw;
    }
    Guessed result = guessed.result();
    if (turns == guess) {
        if (result.error) {
            std::rethrow_exception(result.error);
        }
        return std::move(result.upright);
    }
    return turns == 0 ? Upright{0, cleaned, ocr.recognize(cleaned, options)}
                      : turnedAndRecognised(cleaned, turns, options, ocr);
}

} // namespace

PageOutcome process(Raster bitmap, const OCROptions& options, const TesseractOCRService& ocr) {
    // Every later step starts from the cleaned page; the uncleaned one is not used again, and its
    // memory serves the copies that recognition makes.
    const Raster cleaned = Preprocessor::apply(bitmap, options.preprocessing);
    bitmap.release();
    Upright upright = uprightPage(cleaned, options, ocr);
    Raster current = upright.raster;
    PageOutcome outcome;
    outcome.turnsCW = upright.turns;
    outcome.lines = std::move(upright.lines);

    // The text read so far tells the page's language, which script detection cannot (French from
    // English). When another language led that reading, the page is read again led by its own;
    // a reading that a correction needs anyway is that reading.
    const auto led = ocr.ledByTextLanguage(outcome.lines, options);
    const OCROptions& pageOptions = led ? *led : options;
    bool readInItsLanguage = !led;

    if (options.deskew) {
        const double skew = PageDeskew::estimateAngle(outcome.lines, current.cols, current.rows);
        if (skew != 0) {
            // A page whose rotation cannot be rendered keeps angle 0, so its text layer stays
            // on the raster that was really recognised.
            if (auto straightened = PageDeskew::rotated(current, -skew)) {
                current = *straightened;
                outcome.deskewAngle = -skew;
                outcome.lines = ocr.recognize(current, pageOptions);
                readInItsLanguage = true;
            }
        }
    }
    if (!readInItsLanguage) {
        outcome.lines = ocr.recognize(current, pageOptions);
    }

    if (options.perspective) {
        if (const auto params = PagePerspective::detect(outcome.lines, current.cols, current.rows)) {
            if (auto corrected = PagePerspective::apply(current, *params, current.cols, current.rows)) {
                current = *corrected;
                outcome.correctedRaster = current;
                outcome.lines = ocr.recognize(current, pageOptions);
            }
        }
    }

    if (options.region) {
        outcome.lines = OCRRegion::filter(outcome.lines, options.region);
    }
    return outcome;
}

} // namespace quorvane::PageWork
