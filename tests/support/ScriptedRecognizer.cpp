#include "support/ScriptedRecognizer.h"

#include <cmath>
#include <string>

namespace quorvane::test {

namespace {

// Page n is filled with grey level 255 - n * shadeStep: white, a blank page, is page 0.
constexpr int shadeStep = 10;
constexpr int highestNumber = 20;

ScriptedRecognizer::Request requestFor(const Raster& bitmap, OCRRecognitionLevel level) {
    ScriptedRecognizer::Request request{0, bitmap.cols, bitmap.rows, level};
    if (!bitmap.empty()) {
        const int grey = bitmap.ptr<uchar>(bitmap.rows / 2)[(bitmap.cols / 2) * bitmap.channels()];
        const int number = int(std::lround((255 - grey) / double(shadeStep)));
        request.page = number >= 1 && number <= highestNumber ? number : 0;
    }
    return request;
}

} // namespace

ScriptedRecognizer::ScriptedRecognizer(Script script, Orientation orientation)
    : script_(std::move(script)), orientation_(std::move(orientation)) {}

std::vector<OCRLine> ScriptedRecognizer::recognize(const Raster& bitmap, const OCROptions& options) const {
    recognitions_.fetch_add(1);
    return script_(requestFor(bitmap, options.recognitionLevel));
}

int ScriptedRecognizer::detectOrientation(const Raster& bitmap) const {
    return orientation_ ? orientation_(requestFor(bitmap, OCRRecognitionLevel::fast)) : 0;
}

FixturePage numberedPage(int number) {
    const std::string grey = std::to_string((255 - number * shadeStep) / 255.0);
    return {.content = grey + " g 0 0 612 792 re f\n"};
}

std::vector<OCRLine> linesReading(const QStringList& texts, float confidence) {
    std::vector<OCRLine> lines;
    const double height = 0.8 / std::max<qsizetype>(texts.size(), 1);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        lines.push_back({texts[i], {0.1, 0.9 - double(i + 1) * height, 0.8, height * 0.8}, confidence, 0});
    }
    return lines;
}

} // namespace quorvane::test
