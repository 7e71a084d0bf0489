#pragma once

// Lets no more recognitions run at once, process-wide, than pages are worked on
// (pageThreadCount). A page's orientation probe reads its candidates on threads of their own while
// the page's thread waits for them; without this bound, every page in flight probing at once would
// run several engines per core, each holding its models and a copy of its page. A recognition
// never waits for other work while it holds its slot, so the bound cannot deadlock.

#include "core/TextRecognizer.h"

#include <memory>

namespace quorvane {

class SlottedRecognizer : public TextRecognizer {
public:
    explicit SlottedRecognizer(std::shared_ptr<const TextRecognizer> recognizer);

    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const override;
    OrientationGuess detectOrientation(const Raster& bitmap) const override;
    OrientationGuess detectOrientationClosely(const Raster& bitmap) const override;
    std::optional<OCROptions> ledByTextLanguage(const std::vector<OCRLine>& lines,
                                                const OCROptions& options) const override;
    void prepare(const OCROptions& options) const override;

private:
    std::shared_ptr<const TextRecognizer> recognizer_;
};

} // namespace quorvane
