// How soon the preprocessing preview shows a page of a long image file: a TIFF of 24 pages of
// colour scan (LZW, about 17 MB a page) against the same page as a TIFF of its own, the baseline
// in the same run. The target is the long file's first page within 1.5 times the baseline's: the
// preview converts the page it shows, not the file. For each:
//   first_page_s    from opening until the first page is shown, processed
//   page_change_s   from asking for a page in the middle until it is shown (long file only)

#include "app/PreprocessingPreviewModel.h"
#include "platform/TesseractOCRService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <vips/vips8>

#include <functional>

using namespace quorvane;
using vips::VImage;

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A colour scan of the corpus page with the grain of a scanner, `pages` times over.
QString scans(int pages) {
    const QString path = QDir(scratch().path()).filePath(QStringLiteral("scans%1.tif").arg(pages));
    if (!QFile::exists(path)) {
        const VImage linn = VImage::new_from_file(QUORVANE_CORPUS_DIR "/linn.png").extract_band(0);
        const VImage grain = VImage::gaussnoise(linn.width(), linn.height(), VImage::option()->set("mean", 0.0)->set("sigma", 12.0));
        const VImage page = (VImage::bandjoin(std::vector<VImage>{linn, linn, linn}) * std::vector<double>{0.85, 0.9, 1.0} + grain)
                                .cast(VIPS_FORMAT_UCHAR)
                                .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                                .copy_memory();
        VImage::arrayjoin(std::vector<VImage>(std::size_t(pages), page), VImage::option()->set("across", 1))
            .tiffsave(QFile::encodeName(path).constData(), VImage::option()
                                                                ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW)
                                                                ->set("page_height", page.height()));
    }
    return path;
}

// Seconds until the model shows a processed page, after `start`.
double secondsUntilShown(PreprocessingPreviewModel& model, const std::function<void()>& start) {
    QEventLoop loop;
    const auto shown = QObject::connect(&model, &PreprocessingPreviewModel::processedImageChanged, &loop,
                                        [&] { loop.quit(); });
    QObject::connect(&model, &PreprocessingPreviewModel::errorMessageChanged, &loop, [&] { loop.exit(1); });
    QElapsedTimer elapsed;
    elapsed.start();
    start();
    const int failed = loop.exec();
    QObject::disconnect(shown);
    return failed ? -1 : double(elapsed.elapsed()) / 1000;
}

void BM_PreviewOfATiff(benchmark::State& state) {
    const int pages = int(state.range(0));
    const QString file = scans(pages);
    OCROptions options;
    options.languages = {QStringLiteral("en-US")};
    for (auto _ : state) {
        PreprocessingPreviewModel model(file, {PreprocessStrength::conservative, false, false, false}, options,
                                        std::make_shared<const TesseractOCRService>());
        const double first = secondsUntilShown(model, [&] { model.load(); });
        const double change = pages > 1 ? secondsUntilShown(model, [&] { model.changePage(pages / 2); }) : 0;
        if (first < 0 || change < 0) {
            state.SkipWithError(model.errorMessage().value_or(QString()).toStdString().c_str());
            return;
        }
        state.counters["first_page_s"] = first;
        state.counters["page_change_s"] = change;
    }
}

} // namespace

BENCHMARK(BM_PreviewOfATiff)->Arg(1)->Arg(24)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    qputenv("OMP_THREAD_LIMIT", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TMPDIR", QFile::encodeName(scratch().path()));
    QApplication app(argc, argv);
    VIPS_INIT(argv[0]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
