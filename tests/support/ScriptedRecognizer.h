#pragma once

// A recognizer whose answers the test writes, without Tesseract, for the tests of what the
// pipeline and the batch do with recognised lines: order, phases, counters, failures, cancelling.
// Fixture pages are told apart by their shade: numberedPage(n) is filled with a grey that the
// recognizer reads back as page n at any size and in any orientation, so that a script answers
// page by page in whatever order, and on whatever threads, the pages are recognised.

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
        int width = 0;
        int height = 0;
        OCRRecognitionLevel level = OCRRecognitionLevel::accurate;
    };
    // The lines of one recognition; a script fails a recognition by throwing. Scripts are called
    // from several threads at once.
    using Script = std::function<std::vector<OCRLine>(const Request&)>;
    // The quarter turns that orientation detection reports; none reports 0.
    using Orientation = std::function<int(const Request&)>;

    explicit ScriptedRecognizer(Script script, Orientation orientation = {});

    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const override;
    int detectOrientation(const Raster& bitmap) const override;

    // Recognitions asked for so far, failed ones included.
    int recognitions() const { return recognitions_.load(); }

private:
    Script script_;
    Orientation orientation_;
    mutable std::atomic<int> recognitions_{0};
};

// A US Letter page, no text of its own, that ScriptedRecognizer reads as page `number` (1 to 20).
FixturePage numberedPage(int number);

// Lines one under another from the top of the page, each across most of its width, in this order.
std::vector<OCRLine> linesReading(const QStringList& texts, float confidence = 0.9f);

} // namespace quorvane::test
