// Recognition of one real 300-DPI page at each level, with automatic language detection on and
// off, with engines warm. Compare the variants within one run: the machines are shared.

#include "core/TesseractOCRService.h"
#include "platform/TesseractEnginePool.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdlib>

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
    options.recognitionLevel = state.range(0) == 0 ? OCRRecognitionLevel::accurate : OCRRecognitionLevel::fast;
    options.automaticallyDetectsLanguage = state.range(1) != 0;
    options.languages = state.range(2) == 0 ? QStringList{"en-US"} : options.languages;
    const Raster page = linnPage();
    const TesseractOCRService ocr;
    ocr.recognize(page, options); // warm: engines initialised outside the timed loop
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

} // namespace

BENCHMARK(recognizeLinn)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
