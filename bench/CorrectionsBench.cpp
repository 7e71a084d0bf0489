// What the page corrections cost against the recognitions they sit between, on the 2550 x 3300
// scan linn.png: aggressive cleaning against an accurate recognition of the page, the
// orientation probe of a turned page against a plain recognition of it, and the perspective
// detection on the recognised lines of the page, flat and keystoned.

#include "corrections/PageOrientation.h"
#include "corrections/PagePerspective.h"
#include "corrections/Preprocessor.h"
#include "platform/TesseractOCRService.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

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

// Argument 0: linn.png as it is; 1: as a phone held above its lower edge sees it, the top edge 8%
// narrower on each side and 3% lower. The lines are recognised once, outside the timing.
void DetectPerspective(benchmark::State& state) {
    Raster page = linn();
    if (state.range(0) == 1) {
        const float w = float(page.cols), h = float(page.rows);
        const cv::Point2f corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
        const cv::Point2f seen[] = {{0.08f * w, 0.03f * h}, {0.92f * w, 0.03f * h}, {w, h}, {0, h}};
        cv::warpPerspective(linn(), page, cv::getPerspectiveTransform(corners, seen), page.size(),
                            cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    }
    const auto lines = TesseractOCRService().recognize(page, englishOnly());
    bool found = false;
    for (auto _ : state) {
        found = PagePerspective::detect(lines, page.cols, page.rows).has_value();
    }
    state.counters["lines"] = double(lines.size());
    state.counters["keystone"] = found ? 1 : 0;
}

} // namespace

// Real time throughout: the probe's work happens on other threads.
BENCHMARK(CleanConservative)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(CleanAggressive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(RecognizeAccurate)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(RecognizeTurnedPage)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(ProbeTurnedPage)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(DetectPerspective)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);

int main(int argc, char** argv) {
    // Tesseract's OpenMP threads only slow it down here; parallelism comes from our own threads.
    qputenv("OMP_THREAD_LIMIT", "1");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
