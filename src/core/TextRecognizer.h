#pragma once

// The text recognizer as the rest of the system sees it: a page bitmap and the job's options in,
// recognised lines out. The programs hand one recognizer to everything that recognises (page work,
// orientation probe, pipeline, batch coordinator); tests hand a scripted one.
//
// Implementations keep no state between calls that a caller could notice, and every operation may
// be called from several threads at once on one shared instance: pages of several documents, and
// the candidates of one page's orientation probe, are recognised concurrently.

#include "core/OCROptions.h"
#include "core/OCRRecords.h"
#include "core/Raster.h"

#include <optional>
#include <vector>

namespace quorvane {

// What orientation detection makes of a page: the clockwise quarter turns (0..3) that would make
// it upright, and how sure it is (Tesseract's orientation confidence: 0 when it cannot tell, a
// few units for a clear page).
struct OrientationGuess {
    int turnsCW = 0;
    double confidence = 0;

    bool operator==(const OrientationGuess&) const = default;
};

class TextRecognizer {
public:
    virtual ~TextRecognizer() = default;

    // Lines in the recognizer's order, boxes normalised to `bitmap` with the origin at the bottom
    // left. With automatic language detection on, the recognizer picks the languages from the
    // script it detects on the page. Throws the recognizer's own error (PlatformError) when it fails.
    virtual std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const = 0;

    // A quick guess from character shapes, a small fraction of a recognition and not counted as
    // one: which way `bitmap` is turned and how sure the guess is; {0, 0} when it cannot tell.
    // Never fails.
    virtual OrientationGuess detectOrientation(const Raster& bitmap) const = 0;

    // The same guess from more of the page's characters: several times slower, and surer where the
    // quick one was unsure.
    virtual OrientationGuess detectOrientationClosely(const Raster& bitmap) const = 0;

    // With automatic language detection on: the options that read the page in the language of the
    // text already read from it (`lines`), when another language led that reading; else nothing.
    virtual std::optional<OCROptions> ledByTextLanguage(const std::vector<OCRLine>& lines,
                                                        const OCROptions& options) const {
        (void)lines;
        (void)options;
        return std::nullopt;
    }

    // Gets ready for recognising with `options` (loading models, say), so that this can overlap
    // other work. Failures are left for the recognition itself to report.
    virtual void prepare(const OCROptions& options) const { (void)options; }
};

} // namespace quorvane
