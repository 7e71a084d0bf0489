// Recognition of one real 300-DPI page at each level, with automatic language detection on and
// off, with engines warm. The machines are shared and their load drifts, so compare variants
// within one run, interleaved, by their fastest repetition:
//   RecognizerBench --benchmark_enable_random_interleaving=true

#include "corrections/PageOrientation.h"
#include "platform/MissedText.h"
#include "platform/TesseractOCRService.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>
#include <utility>

using namespace quorvane;

namespace {

Raster linnPage() {
    static const Raster page = [] {
        const QImage image =
            QImage(QStringLiteral(QUORVANE_CORPUS_DIR "/linn.png")).convertToFormat(QImage::Format_RGB888);
        if (image.isNull()) {
            std::abort(); // the corpus is missing: no figures are better than wrong ones
        }
        return Raster(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                      image.bytesPerLine())
            .clone();
    }();
    return page;
}

// state.range(0): 0 accurate, 1 fast; range(1): automatic detection; range(2): 0 for "en-US"
// alone, 1 for the default four languages.
void recognizeLinn(benchmark::State& state) {
    OCROptions options;
    options.recognitionLevel =
        state.range(0) == 0 ? OCRRecognitionLevel::accurate : OCRRecognitionLevel::fast;
    options.automaticallyDetectsLanguage = state.range(1) != 0;
    options.languages = state.range(2) == 0 ? QStringList{"en-US"} : options.languages;
    const Raster page = linnPage();
    const TesseractOCRService ocr;
    // Warm: the engines are initialised once per variant, outside the timed loop.
    static std::set<std::tuple<int64_t, int64_t, int64_t>> warmed;
    if (warmed.insert({state.range(0), state.range(1), state.range(2)}).second) {
        ocr.recognize(page, options);
    }
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = ocr.recognize(page, options).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
    state.SetLabel(QString("%1, detection %2, %3")
                       .arg(state.range(0) == 0 ? "accurate" : "fast", state.range(1) ? "on" : "off",
                            TesseractOCRService::tesseractLanguages(options.languages))
                       .toStdString());
}

// Script detection alone: what automatic detection adds to a page whose languages it leaves as
// they are.
void detectScriptOfLinn(benchmark::State& state) {
    const Raster page = linnPage();
    static bool warmed = false;
    if (!std::exchange(warmed, true)) {
        TesseractOCRService::detectScript(page);
    }
    QString script;
    for (auto _ : state) {
        script = TesseractOCRService::detectScript(page);
        benchmark::DoNotOptimize(script);
    }
    state.SetLabel(script.toStdString());
}

// Orientation detection on the reduced copy the page work gives it: the quick guess (range(0) 0)
// and the closer look that an unsure turn gets (1).
void detectOrientationOfLinn(benchmark::State& state) {
    const Raster page = PageOrientation::downscaled(linnPage(), PageOrientation::guessMaxDimension);
    const TesseractOCRService ocr;
    const auto detect = [&] {
        return state.range(0) == 0 ? ocr.detectOrientation(page) : ocr.detectOrientationClosely(page);
    };
    OrientationGuess guess = detect();
    for (auto _ : state) {
        guess = detect();
        benchmark::DoNotOptimize(guess);
    }
    state.counters["turns"] = guess.turnsCW;
    state.counters["confidence"] = guess.confidence;
}

// The look for text that layout analysis left out, which every recognition of a page pays for
// (linn has none: nothing is read again).
void findMissedTextOnLinn(benchmark::State& state) {
    const Raster page = linnPage();
    const auto lines = TesseractOCRService().recognize(page, OCROptions());
    std::size_t regions = 0;
    for (auto _ : state) {
        regions = MissedText::find(page, lines).regionsToReadAgain.size();
        benchmark::DoNotOptimize(regions);
    }
    state.counters["regions"] = double(regions);
}

double fastest(const std::vector<double>& seconds) {
    return *std::min_element(seconds.begin(), seconds.end());
}

} // namespace

BENCHMARK(recognizeLinn)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Iterations(1)
    ->Repetitions(4)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly()
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK(detectScriptOfLinn)
    ->Iterations(1)
    ->Repetitions(4)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly()
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK(detectOrientationOfLinn)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(4)
    ->Repetitions(4)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(findMissedTextOnLinn)
    ->Iterations(4)
    ->Repetitions(4)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
