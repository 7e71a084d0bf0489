#include "pipeline/RecognitionSlots.h"

#include "pipeline/PageTaskPool.h"

#include <condition_variable>
#include <mutex>

namespace quorvane {

namespace {

std::mutex slotsMutex;
std::condition_variable slotFreed;
int slotsTaken = 0;

// Held for one recognition; the count is read at every start, so a changed page thread count
// takes effect with the next recognition.
class Slot {
public:
    Slot() {
        std::unique_lock lock(slotsMutex);
        slotFreed.wait(lock, [] { return slotsTaken < pageThreadCount(); });
        ++slotsTaken;
    }
    ~Slot() {
        {
            std::lock_guard lock(slotsMutex);
            --slotsTaken;
        }
        slotFreed.notify_one();
    }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
};

} // namespace

SlottedRecognizer::SlottedRecognizer(std::shared_ptr<const TextRecognizer> recognizer)
    : recognizer_(std::move(recognizer)) {}

std::vector<OCRLine> SlottedRecognizer::recognize(const Raster& bitmap, const OCROptions& options) const {
    Slot slot;
    return recognizer_->recognize(bitmap, options);
}

OrientationGuess SlottedRecognizer::detectOrientation(const Raster& bitmap) const {
    Slot slot; // an engine of its own, if a small one
    return recognizer_->detectOrientation(bitmap);
}

OrientationGuess SlottedRecognizer::detectOrientationClosely(const Raster& bitmap) const {
    Slot slot;
    return recognizer_->detectOrientationClosely(bitmap);
}

std::optional<OCROptions> SlottedRecognizer::ledByTextLanguage(const std::vector<OCRLine>& lines,
                                                               const OCROptions& options) const {
    return recognizer_->ledByTextLanguage(lines, options);
}

void SlottedRecognizer::prepare(const OCROptions& options) const { recognizer_->prepare(options); }

} // namespace quorvane
