#pragma once

// A recognizer without Tesseract whose lines and failures the test writes, for the tests of order,
// phases, counters, failures and cancelling. Fixture pages are told apart by their shade:
// numberedPage(n) is filled with a grey read back as page n at any size and turn, so a script
// answers page by page whatever order, and threads, the pages are recognised in.

#include "core/TextRecognizer.h"
#include "support/PdfBuilder.h"

#include <QStringList>
#include <atomic>
#include <functional>

namespace quorvane::test {

class ScriptedRecognizer : public TextRecognizer {
public:
    struct Request {
        int page = 0; // as numberedPage() numbered it; 0 for any other bitmap
        int width = 0, height = 0;
        OCRRecognitionLevel level = OCRRecognitionLevel::accurate;
    };
    // The lines of one recognition; it fails by throwing. Called from several threads at once.
    using Script = std::function<std::vector<OCRLine>(const Request&)>;

    // `orientation` gives what orientation detection reports; {0, 0} without one. Its request has
    // the fast level for the quick guess and the accurate level for the closer look.
    explicit ScriptedRecognizer(Script script, std::function<OrientationGuess(const Request&)> orientation = {})
        : script_(std::move(script)), orientation_(std::move(orientation)) {}

    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const override;
    OrientationGuess detectOrientation(const Raster& bitmap) const override;
    OrientationGuess detectOrientationClosely(const Raster& bitmap) const override;

    // Recognitions asked for so far, failed ones included.
    int recognitions() const { return recognitions_.load(); }
    // The most recognitions that were running at one time.
    int mostAtOnce() const { return mostAtOnce_.load(); }

private:
    Script script_;
    std::function<OrientationGuess(const Request&)> orientation_;
    mutable std::atomic<int> recognitions_{0};
    mutable std::atomic<int> running_{0};
    mutable std::atomic<int> mostAtOnce_{0};
};

// A US Letter page without text of its own that ScriptedRecognizer reads as page `number` (1 to 20).
FixturePage numberedPage(int number);

// Lines one under another from the top of the page, each across most of its width.
std::vector<OCRLine> linesReading(const QStringList& texts, float confidence = 0.9f);

} // namespace quorvane::test
