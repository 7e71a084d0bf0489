#include "support/ScriptedRecognizer.h"

#include <cmath>
#include <string>

namespace quorvane::test {

namespace {

// Page n is filled with grey level 255 - 10 n; white, a blank page, is page 0.
ScriptedRecognizer::Request requestFor(const Raster& bitmap, OCRRecognitionLevel level) {
    ScriptedRecognizer::Request request{0, bitmap.cols, bitmap.rows, level};
    if (!bitmap.empty()) {
        const int grey = bitmap.ptr<uchar>(bitmap.rows / 2)[(bitmap.cols / 2) * bitmap.channels()];
        const int number = int(std::lround((255 - grey) / 10.0));
        request.page = number >= 1 && number <= 20 ? number : 0;
    }
    return request;
}

} // namespace

std::vector<OCRLine> ScriptedRecognizer::recognize(const Raster& bitmap, const OCROptions& options) const {
    recognitions_.fetch_add(1);
    const int running = running_.fetch_add(1) + 1;
    for (int most = mostAtOnce_.load(); running > most && !mostAtOnce_.compare_exchange_weak(most, running);) {
    }
    struct Ended {
        std::atomic<int>& running;
        ~Ended() { running.fetch_sub(1); }
    } ended{running_};
    return script_(requestFor(bitmap, options.recognitionLevel));
}

OrientationGuess ScriptedRecognizer::detectOrientation(const Raster& bitmap) const {
    return orientation_ ? orientation_(requestFor(bitmap, OCRRecognitionLevel::fast)) : OrientationGuess{};
}

OrientationGuess ScriptedRecognizer::detectOrientationClosely(const Raster& bitmap) const {
    return orientation_ ? orientation_(requestFor(bitmap, OCRRecognitionLevel::accurate))
                        : OrientationGuess{};
}

FixturePage numberedPage(int number) {
    return {.content = std::to_string((255 - number * 10) / 255.0) + " g 0 0 612 792 re f\n"};
}

std::vector<OCRLine> linesReading(const QStringList& texts, float confidence) {
    std::vector<OCRLine> lines;
    const double height = 0.8 / double(std::max<qsizetype>(texts.size(), 1));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        lines.push_back({texts[i], {0.1, 0.9 - double(i + 1) * height, 0.8, height * 0.8}, confidence, 0});
    }
    return lines;
}

} // namespace quorvane::test
