// What the page corrections cost against the recognitions they sit between, on the 2550 x 3300
// scan linn.png: aggressive cleaning against an accurate recognition of the page, and the
// orientation probe of a turned page against a plain recognition of it.

#include "corrections/PageOrientation.h"
#include "corrections/Preprocessor.h"
#include "platform/TesseractOCRService.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

using namespace quorvane;

namespace {

const Raster& linn() {
    static const Raster page = [] {
        const QImage image = QImage(QStringLiteral(QUORVANE_CORPUS_DIR "/linn.png")).convertToFormat(QImage::Format_RGB888);
        if (image.isNull()) {
            std::fprintf(stderr, "cannot read linn.png from %s\n", QUORVANE_CORPUS_DIR);
            std::exit(1);
        }
        return cv::Mat(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                       std::size_t(image.bytesPerLine()))
            .clone();
    }();
    return page;
}

// English only: script detection would add the other installed Latin-script languages.
OCROptions englishOnly() {
    OCROptions options;
    options.languages = {QStringLiteral("en-US")};
    options.automaticallyDetectsLanguage = false;
    return options;
}

// Argument: OpenCV's worker threads (0: its default, one per core).
void CleanAggressive(benchmark::State& state) {
    const int threads = cv::getNumThreads();
    if (state.range(0) > 0) {
        cv::setNumThreads(int(state.range(0)));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Preprocessor::apply(linn(), PreprocessStrength::aggressive));
    }
    cv::setNumThreads(threads);
}

void CleanConservative(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Preprocessor::apply(linn(), PreprocessStrength::conservative));
    }
}

// The baseline: one accurate recognition of the whole page, in English, and in the four default
// languages.
void RecognizeAccurate(benchmark::State& state) {
    const OCROptions options = state.range(0) == 1 ? englishOnly() : OCROptions{};
    const TesseractOCRService ocr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ocr.recognize(linn(), options));
    }
}

// A page turned a quarter turn: the four probe recognitions, concurrently, at the fast level.
void ProbeTurnedPage(benchmark::State& state) {
    const OCROptions options = state.range(0) == 1 ? englishOnly() : OCROptions{};
    const Raster turned = PageOrientation::rotated(linn(), 1);
    const TesseractOCRService ocr;
    int turns = -1;
    for (auto _ : state) {
        turns = PageOrientation::probe(turned, std::nullopt, options, ocr);
    }
    state.counters["turns"] = turns;
}

// The first recognition of that turned page, as the pipeline makes it before asking the probe.
void RecognizeTurnedPage(benchmark::State& state) {
    const OCROptions options = state.range(0) == 1 ? englishOnly() : OCROptions{};
    const Raster turned = PageOrientation::rotated(linn(), 1);
    const TesseractOCRService ocr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ocr.recognize(turned, options));
    }
}

} // namespace

// Real time throughout: the probe's work happens on other threads.
BENCHMARK(CleanConservative)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(CleanAggressive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(RecognizeAccurate)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(RecognizeTurnedPage)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(ProbeTurnedPage)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv) {
    // Tesseract's OpenMP threads only slow it down here; parallelism comes from our own threads.
    qputenv("OMP_THREAD_LIMIT", "1");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
