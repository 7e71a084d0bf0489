// A batch of 20 documents through the batch coordinator, two in flight, against the same 20 run
// one after another (one-document batches, started when the previous one ends), with the peak
// resident memory of each way.
//
// The documents are strips of the corpus scan linn.png (a quarter of the page each, 8.5 x 2.75
// inches at 300 DPI), given as image files, so each is a real scan of real text.

#include "jobs/BatchCoordinator.h"
#include "platform/ProcessStart.h"
#include "platform/TesseractOCRService.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "ProcessUsage.h"

#include <algorithm>
#include <sys/resource.h>
#include <memory>

using namespace quorvane;

namespace {

constexpr int documentCount = 20;

struct Corpus {
    QTemporaryDir dir;
    QStringList documents;
    QString outputFolder;
};

const Corpus& corpus() {
    static const std::unique_ptr<Corpus> made = [] {
        auto corpus = std::make_unique<Corpus>();
        const QImage page(QStringLiteral(QUORVANE_CORPUS_DIR "/linn.png"));
        if (page.isNull()) {
            return corpus;
        }
        const int stripHeight = page.height() / 4;
        for (int index = 0; index < documentCount; ++index) {
            const QString path = corpus->dir.filePath(QStringLiteral("scan%1.png").arg(index + 1));
            page.copy(0, (index % 4) * stripHeight, page.width(), stripHeight).save(path);
            corpus->documents.append(path);
        }
        QDir(corpus->dir.path()).mkpath(QStringLiteral("out"));
        corpus->outputFolder = corpus->dir.filePath(QStringLiteral("out"));
        return corpus;
    }();
    return *made;
}

OCROptions options() {
    OCROptions options;
    options.languages = {QStringLiteral("en-US")};
    options.automaticallyDetectsLanguage = false;
    options.autoRotate = false;
    options.deskew = false;
    options.perspective = false;
    return options;
}

// Runs the event loop until the coordinator's run ends, sampling resident memory meanwhile.
void runBatch(BatchCoordinator& coordinator, const QStringList& documents, double& peakBytes) {
    QEventLoop loop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peakBytes = std::max(peakBytes, residentBytes()); });
    QObject::connect(&coordinator, &BatchCoordinator::finished, &loop, &QEventLoop::quit);
    sampler.start(100); // often enough for bitmaps that live seconds; reading /proc costs processor time
    coordinator.start(documents, options(), corpus().outputFolder);
    loop.exec();
}

// Processor time of the whole process so far (all threads), in seconds.
// The machine is shared: the processor time used shows how much of the two cores the run got.
void report(benchmark::State& state, int failures, double peakBytes, double cpuSeconds) {
    state.counters["failed"] = failures;
    state.counters["process_cpu_s"] = cpuSeconds;
    state.counters["peak_rss_MiB"] = peakBytes / (1024.0 * 1024.0);
    state.counters["documents_per_s"] =
        benchmark::Counter(static_cast<double>(documentCount), benchmark::Counter::kIsRate);
}

void BM_OneAfterAnother(benchmark::State& state) {
    if (corpus().documents.size() != documentCount) {
        state.SkipWithError("linn.png is missing from the corpus");
        return;
    }
    double peakBytes = 0;
    int failures = 0;
    const double cpuBefore = processSeconds();
    for (auto _ : state) {
        BatchCoordinator coordinator(std::make_shared<TesseractOCRService>());
        for (const auto& document : corpus().documents) {
            runBatch(coordinator, {document}, peakBytes);
            failures += coordinator.failedCount();
        }
    }
    report(state, failures, peakBytes, processSeconds() - cpuBefore);
}

void BM_TwoInFlight(benchmark::State& state) {
    if (corpus().documents.size() != documentCount) {
        state.SkipWithError("linn.png is missing from the corpus");
        return;
    }
    double peakBytes = 0;
    int failures = 0;
    const double cpuBefore = processSeconds();
    for (auto _ : state) {
        BatchCoordinator coordinator(std::make_shared<TesseractOCRService>());
        runBatch(coordinator, corpus().documents, peakBytes);
        failures += coordinator.failedCount();
    }
    report(state, failures, peakBytes, processSeconds() - cpuBefore);
}

} // namespace

// The baseline first, so that the batch's memory peak is not hidden by an earlier, higher one.
BENCHMARK(BM_OneAfterAnother)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_TwoInFlight)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    qputenv("OMP_THREAD_LIMIT", "1");
    ProcessStart::beforeAnyThread(); // as quorvane-cli runs
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
