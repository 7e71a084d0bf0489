#include "pipeline/PageWork.h"

#include "corrections/OCRRegion.h"
#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"

namespace quorvane::PageWork {

namespace {

UprightPage turnedAndRecognised(const Raster& page, int turns, const OCROptions& options,
                                const TextRecognizer& recognizer) {
    const Raster turned = PageOrientation::rotated(page, turns);
    return {turns, turned, recognizer.recognize(turned, options)};
}

UprightPage recognisedAsProbed(const Raster& cleaned, int turns, const OCROptions& options,
                               const TextRecognizer& recognizer) {
    return turns == 0 ? UprightPage{0, cleaned, recognizer.recognize(cleaned, options)}
                      : turnedAndRecognised(cleaned, turns, options, recognizer);
}

} // namespace

UprightPage upright(const Raster& cleaned, const OCROptions& options, const TextRecognizer& recognizer) {
    if (!options.autoRotate) {
        return {0, cleaned, recognizer.recognize(cleaned, options)};
    }
    const Raster reduced = PageOrientation::downscaled(cleaned, PageOrientation::guessMaxDimension);
    OrientationGuess guess = recognizer.detectOrientation(reduced);
    // The quick guess takes some upright pages for turned ones; a closer look costs a turned page a
    // twentieth of its time, and the surer look counts.
    if (guess.turnsCW != 0) {
        const OrientationGuess closer = recognizer.detectOrientationClosely(reduced);
        if (closer.confidence > guess.confidence) {
            guess = closer;
        }
    }
    // Even a sure guess is checked first: an upright page read the wrong way round costs several
    // readings of its own, the check a fraction of one.
    const int turned =
        guess.turnsCW != 0 ? PageOrientation::checkedTurn(cleaned, guess.turnsCW, options, recognizer) : 0;
    if (turned == 0) {
        auto firstPass = recognizer.recognize(cleaned, options);
        const bool seenUpright = guess.turnsCW == 0 && guess.confidence >= PageOrientation::sureUprightGuess &&
                                 PageOrientation::readsConfidently(firstPass);
        const int turns = seenUpright ? 0 : PageOrientation::probe(cleaned, firstPass, options, recognizer);
        return turns == 0 ? UprightPage{0, cleaned, std::move(firstPass)}
                          : turnedAndRecognised(cleaned, turns, options, recognizer);
    }
    // A first pass over a turned page would cost a whole recognition and be thrown away: the page
    // is read once, turned; only when that reading goes badly does the probe decide.
    UprightPage page = turnedAndRecognised(cleaned, turned, options, recognizer);
    if (PageOrientation::readsWell(page.lines) || PageOrientation::readsConfidently(page.lines)) {
        return page;
    }
    const int turns = PageOrientation::probe(cleaned, std::nullopt, options, recognizer);
    return turns == turned ? std::move(page) : recognisedAsProbed(cleaned, turns, options, recognizer);
}

PageOutcome process(Raster bitmap, const OCROptions& options, const TextRecognizer& recognizer) {
    // Every later step starts from the cleaned page; the uncleaned one is not used again, and its
    // memory serves the copies that recognition makes.
    const Raster cleaned = Preprocessor::apply(bitmap, options.preprocessing);
    bitmap.release();
    UprightPage page = upright(cleaned, options, recognizer);
    Raster current = page.raster;
    PageOutcome outcome;
    outcome.turnsCW = page.turnsCW;
    outcome.lines = std::move(page.lines);

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
