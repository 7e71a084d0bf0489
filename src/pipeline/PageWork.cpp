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

Upright turnedAndRecognised(const Raster& page, int turns, const OCROptions& options,
                            const TextRecognizer& recognizer) {
    const Raster turned = PageOrientation::rotated(page, turns);
    return {turns, turned, recognizer.recognize(turned, options)};
}

// The cleaned page turned upright, when the rotation switch is on, and recognised.
Upright uprightPage(const Raster& cleaned, const OCROptions& options, const TextRecognizer& recognizer) {
    if (!options.autoRotate) {
        return {0, cleaned, recognizer.recognize(cleaned, options)};
    }
    const int guess =
        recognizer.detectOrientation(PageOrientation::downscaled(cleaned, PageOrientation::probeMaxDimension));
    if (guess == 0) {
        auto firstPass = recognizer.recognize(cleaned, options);
        const int turns = PageOrientation::probe(cleaned, firstPass, options, recognizer);
        return turns == 0 ? Upright{0, cleaned, std::move(firstPass)}
                          : turnedAndRecognised(cleaned, turns, options, recognizer);
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
            result.upright = turnedAndRecognised(cleaned, guess, options, recognizer);
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    });
    int turns = 0;
    try {
        turns = PageOrientation::probe(cleaned, std::nullopt, options, recognizer);
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
    return turns == 0 ? Upright{0, cleaned, recognizer.recognize(cleaned, options)}
                      : turnedAndRecognised(cleaned, turns, options, recognizer);
}

} // namespace

PageOutcome process(Raster bitmap, const OCROptions& options, const TextRecognizer& recognizer) {
    // Every later step starts from the cleaned page; the uncleaned one is not used again, and its
    // memory serves the copies that recognition makes.
    const Raster cleaned = Preprocessor::apply(bitmap, options.preprocessing);
    bitmap.release();
    Upright upright = uprightPage(cleaned, options, recognizer);
    Raster current = upright.raster;
    PageOutcome outcome;
    outcome.turnsCW = upright.turns;
    outcome.lines = std::move(upright.lines);

    // The text read so far tells the page's language, which script detection cannot (French from
    // English). When another language led that reading, the page is read again led by its own;
    // a reading that a correction needs anyway is that reading.
    const auto led = recognizer.ledByTextLanguage(outcome.lines, options);
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
                outcome.lines = recognizer.recognize(current, pageOptions);
                readInItsLanguage = true;
            }
        }
    }
    if (!readInItsLanguage) {
        outcome.lines = recognizer.recognize(current, pageOptions);
    }

    if (options.perspective) {
        if (const auto params = PagePerspective::detect(outcome.lines, current.cols, current.rows)) {
            // The corrected page is kept compressed from here on; one that cannot be compressed
            // is left uncorrected, its source picture and text layer going together.
            auto corrected = PagePerspective::apply(current, *params, current.cols, current.rows);
            auto encoded = corrected ? RasterEncoder::encode(*corrected) : std::nullopt;
            if (encoded) {
                current = *corrected;
                outcome.correctedRaster = std::move(encoded);
                outcome.lines = recognizer.recognize(current, pageOptions);
            }
        }
    }

    if (options.region) {
        outcome.lines = OCRRegion::filter(outcome.lines, options.region);
    }
    return outcome;
}

} // namespace quorvane::PageWork
