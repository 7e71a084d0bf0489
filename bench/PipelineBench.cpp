// The whole searchable-PDF pipeline on real scans: the corpus's linn.pdf (one 300-DPI letter
// page) and a 20-page document made of 20 separate copies of it. For each run:
//   s_per_page            elapsed time per page
//   recognition_s_per_page  the part of it spent inside Tesseract's recognition (the engine pool's
//                         own clock)
//   outside_share         1 - recognition / elapsed: opening, inspecting and rendering pages,
//                         cleaning, handing pixels over, reading the results, writing the PDF, and
//                         the threads' hand-offs
//   outside_share_cpu     the same from processor times (the recognising threads' against the
//                         whole process's), which other work on a shared machine disturbs less
//   size_ratio            output size / input size
//   peak_rss_MiB          resident memory, sampled during the run
//   first_s_per_page, first_outside_share
//                         the same for the untimed linn.pdf run before them: a process's first
//                         document, which loads the engines and finds the heap empty
// The baseline in the same run renders linn.pdf's page and recognises it directly, without the
// pipeline: its time per page against the pipeline's is the pipeline's cost in another form.
// The stages benchmark takes linn.pdf's page through the same steps one at a time on one thread
// and reports the processor seconds of each: where the time outside recognition goes.
// The timed runs find the engines loaded and the heap holding page-sized blocks, as every
// document after a process's first does.

#include "core/ReadingOrder.h"
#include "corrections/Preprocessor.h"
#include "pipeline/CoordinateMapper.h"
#include "pipeline/DPIAnalyzer.h"
#include "pipeline/OCRPipeline.h"
#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageTaskPool.h"
#include "pipeline/TextLayerWriter.h"
#include "platform/ProcessStart.h"
#include "platform/PdfDocument.h"
#include "platform/TesseractEnginePool.h"
#include "platform/TesseractOCRService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "ProcessUsage.h"
#include "RepeatedDocument.h"

#include <qpdf/QPDF.hh>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>

using namespace quorvane;

namespace {

constexpr int longDocumentPages = 20;

const QString linnPdf = QStringLiteral(QUORVANE_CORPUS_DIR "/linn.pdf");

struct Inputs {
    QTemporaryDir dir;
    QString longDocument;
};

const Inputs& inputs() {
    static const std::unique_ptr<Inputs> made = [] {
        auto inputs = std::make_unique<Inputs>();
        inputs->longDocument = inputs->dir.filePath(QStringLiteral("linn%1.pdf").arg(longDocumentPages));
        makeRepeatedDocument(linnPdf, inputs->longDocument, longDocumentPages);
        return inputs;
    }();
    return *made;
}

// 0: en-US only, automatic language and every correction off; 1: a fresh user's defaults.
OCROptions optionsFor(int configuration) {
    OCROptions options;
    if (configuration == 0) {
        options.languages = {QStringLiteral("en-US")};
        options.automaticallyDetectsLanguage = false;
        options.autoRotate = false;
        options.deskew = false;
        options.perspective = false;
    }
    return options;
}

// Initialises the engines `options` needs outside the timed runs.
void warmEngines(const OCROptions& options) {
    const Raster blank(64, 64, CV_8UC3, cv::Scalar(255, 255, 255));
    TesseractOCRService().recognize(blank, options);
}

// What the recognizer and the process spent between two readings.
struct Clocks {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double processSeconds = ::processSeconds();
    TesseractEnginePool::RecognitionTime recognition = TesseractEnginePool::recognitionTime();
};

struct Spent {
    double wall = 0, process = 0, recognitionWall = 0, recognitionProcessor = 0;

    void add(const Clocks& before, const Clocks& after) {
        wall += std::chrono::duration<double>(after.wall - before.wall).count();
        process += after.processSeconds - before.processSeconds;
        recognitionWall += 1e-9 * double(after.recognition.elapsedNanoseconds - before.recognition.elapsedNanoseconds);
        recognitionProcessor +=
            1e-9 * double(after.recognition.processorNanoseconds - before.recognition.processorNanoseconds);
    }
};

void report(benchmark::State& state, const Spent& spent, int pages) {
    const double runs = double(state.iterations());
    state.counters["pages"] = pages;
    state.counters["s_per_page"] = spent.wall / (runs * pages);
    state.counters["recognition_s_per_page"] = spent.recognitionWall / (runs * pages);
    state.counters["outside_share"] = 1 - spent.recognitionWall / spent.wall;
    state.counters["outside_share_cpu"] = 1 - spent.recognitionProcessor / spent.process;
    state.counters["process_cpu_s"] = spent.process;
}

// Runs the pipeline on `source` once, waiting for it, and adds what it spent to `spent`. Returns
// the failure text of a run that did not finish.
std::optional<QString> runOnce(OCRPipeline& pipeline, const QString& source, const QString& output,
                               const OCROptions& options, Spent& spent, double& peakBytes) {
    QEventLoop loop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peakBytes = std::max(peakBytes, residentBytes()); });
    QObject::connect(&pipeline, &OCRPipeline::isRunningChanged, &loop, [&](bool running) {
        if (!running) {
            loop.quit();
        }
    });
    sampler.start(100); // often enough for bitmaps that live seconds; reading /proc costs processor time
    const Clocks before;
    pipeline.process(source, output, options);
    if (pipeline.isRunning()) {
        loop.exec();
    }
    spent.add(before, Clocks());
    if (pipeline.phase().kind != Phase::Kind::done) {
        return "the run failed: " + pipeline.phase().message;
    }
    return std::nullopt;
}

// state.range(0): 0 linn.pdf, 1 the 20-page document; range(1): the option configuration;
// range(2): pages worked on at once, 0 for one per available core. The long document with one
// page at a time is the baseline of the one with every core: speed_up is set against it.
// linn.pdf is processed once before the timed runs, as every document but a process's first is:
// the engines are loaded and the heap holds page-sized blocks. That first document's figures are
// reported as first_s_per_page and first_outside_share (model loading included).
void BM_Pipeline(benchmark::State& state) {
    const bool isLong = state.range(0) == 1;
    const QString source = isLong ? inputs().longDocument : linnPdf;
    const int pages = isLong ? longDocumentPages : 1;
    if (!QFileInfo(source).isFile()) {
        state.SkipWithError("linn.pdf is missing from the corpus");
        return;
    }
    const OCROptions options = optionsFor(int(state.range(1)));
    const int pagesAtOnce = state.range(2) > 0 ? int(state.range(2)) : availableCores();
    setPageThreadCount(pagesAtOnce);
    QTemporaryDir outputDir;
    const QString output = outputDir.filePath(QStringLiteral("out.pdf"));
    OCRPipeline pipeline(std::make_shared<TesseractOCRService>());
    double peakBytes = residentBytes();
    Spent first;
    static std::string failureText; // the library keeps the pointer
    if (const auto failure = runOnce(pipeline, linnPdf, output, options, first, peakBytes)) {
        failureText = failure->toStdString();
        state.SkipWithError(failureText.c_str());
        return;
    }
    QFile::remove(output); // the copy of another source is not written over

    Spent spent;
    qint64 outputBytes = 0;
    for (auto _ : state) {
        if (const auto failure = runOnce(pipeline, source, output, options, spent, peakBytes)) {
            failureText = failure->toStdString();
            state.SkipWithError(failureText.c_str());
            return;
        }
        outputBytes = QFileInfo(output).size();
        QFile::remove(output);
    }
    report(state, spent, pages);
    static double oneAtATimeSeconds = 0; // of the long document
    if (isLong && pagesAtOnce == 1) {
        oneAtATimeSeconds = spent.wall;
    } else if (isLong && oneAtATimeSeconds > 0) {
        state.counters["speed_up"] = oneAtATimeSeconds / spent.wall;
    }
    state.counters["pages_at_once"] = pagesAtOnce;
    state.counters["first_s_per_page"] = first.wall;
    state.counters["first_outside_share"] = 1 - first.recognitionWall / first.wall;
    state.counters["size_ratio"] = double(outputBytes) / double(QFileInfo(source).size());
    state.counters["peak_rss_MiB"] = peakBytes / (1024.0 * 1024.0);
    state.SetLabel(QStringLiteral("%1, %2")
                       .arg(QFileInfo(source).fileName(), state.range(1) == 0 ? "en-US, corrections off" : "defaults")
                       .toStdString());
}

// The baseline: linn.pdf's page rendered and recognised directly, with the first configuration.
void BM_RenderAndRecognize(benchmark::State& state) {
    const auto document = PdfDocument::open(linnPdf);
    const auto page = document ? document->page(0) : std::nullopt;
    if (!page) {
        state.SkipWithError("linn.pdf is missing from the corpus");
        return;
    }
    const OCROptions options = optionsFor(0);
    warmEngines(options);
    const TesseractOCRService ocr;
    Spent spent;
    std::size_t lines = 0;
    for (auto _ : state) {
        const Clocks before;
        const auto bitmap = PDFPageRasterizer::render(*page, PDFPageRasterizer::targetDPI);
        if (!bitmap) {
            state.SkipWithError("linn.pdf's page could not be rendered");
            return;
        }
        lines = ocr.recognize(*bitmap, options).size();
        spent.add(before, Clocks());
    }
    report(state, spent, 1);
    state.counters["lines"] = double(lines);
}

// Processor time of the calling thread, in seconds.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// linn.pdf's page through the pipeline's steps one at a time, with the first configuration.
void BM_Stages(benchmark::State& state) {
    if (!QFileInfo(linnPdf).isFile()) {
        state.SkipWithError("linn.pdf is missing from the corpus");
        return;
    }
    const OCROptions options = optionsFor(0);
    warmEngines(options);
    const TesseractOCRService ocr;
    QTemporaryDir outputDir;
    const QString output = outputDir.filePath(QStringLiteral("out.pdf"));
    std::map<std::string, double> seconds;
    const double renderersBefore = processSeconds(true);
    for (auto _ : state) {
        double start = threadSeconds();
        const auto document = PdfDocument::open(linnPdf);
        const auto page = document ? document->page(0) : std::nullopt;
        if (!page) {
            state.SkipWithError("linn.pdf could not be opened");
            return;
        }
        seconds["open"] += threadSeconds() - start;

        // The pipeline's look at the page before rendering: existing text, resolution.
        start = threadSeconds();
        benchmark::DoNotOptimize(page->text().isEmpty());
        benchmark::DoNotOptimize(DPIAnalyzer::effectiveDPI(*page));
        seconds["inspect"] += threadSeconds() - start;

        start = threadSeconds();
        const auto bitmap = PDFPageRasterizer::render(*page, PDFPageRasterizer::targetDPI);
        if (!bitmap) {
            state.SkipWithError("linn.pdf's page could not be rendered");
            return;
        }
        seconds["render"] += threadSeconds() - start;

        start = threadSeconds();
        const Raster cleaned = Preprocessor::apply(*bitmap, options.preprocessing);
        seconds["clean"] += threadSeconds() - start;

        start = threadSeconds();
        const auto before = TesseractEnginePool::recognitionTime();
        auto lines = ocr.recognize(cleaned, options);
        seconds["recognize_call"] += threadSeconds() - start;
        seconds["recognize_inside"] +=
            1e-9 * double(TesseractEnginePool::recognitionTime().processorNanoseconds - before.processorNanoseconds);

        start = threadSeconds();
        lines = ReadingOrder::order(std::move(lines));
        seconds["order"] += threadSeconds() - start;

        start = threadSeconds();
        TextLayerWriter::write({TextLayerWriter::PageInput{.page = *page,
                                                           .outputBounds = CoordinateMapper::displayBounds(*page),
                                                           .lines = std::move(lines)}},
                               document->attributes(), output, false, document.get());
        seconds["write"] += threadSeconds() - start;
        QFile::remove(output);
    }
    // The page is drawn in the page renderer's process, which ends with its document.
    seconds["render_in_renderer"] = processSeconds(true) - renderersBefore;
    for (const auto& [stage, total] : seconds) {
        state.counters[stage + "_cpu_s"] = total / double(state.iterations());
    }
}

} // namespace

BENCHMARK(BM_Stages)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_RenderAndRecognize)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
// Three runs of the one-page document, the long one a page at a time and with every core, two
// with the defaults.
BENCHMARK(BM_Pipeline)->Args({0, 0, 0})->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Pipeline)->Args({1, 0, 1})->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Pipeline)->Args({1, 0, 0})->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Pipeline)->Args({0, 1, 0})->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    qputenv("OMP_THREAD_LIMIT", "1");
    ProcessStart::beforeAnyThread(); // as quorvane-cli runs
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
