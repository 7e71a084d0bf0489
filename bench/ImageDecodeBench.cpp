// Decoding a large photo for the image-to-PDF step: the capped thumbnail decode against decoding
// the whole image (and then scaling it), and the size of the temporary PDF against its source.

#include "pipeline/ImagePDFBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <vips/vips8>

using vips::VImage;

namespace {

const QString corpus = QStringLiteral(QUORVANE_CORPUS_DIR);

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A 6000 x 8000 camera-sized JPEG, made once from the corpus scan.
const QString& bigJpeg() {
    static const QString path = [] {
        const QString file = QDir(scratch().path()).filePath("big.jpg");
        VImage::new_from_file((corpus + "/linn.png").toUtf8().constData())
            .resize(6000.0 / 2550.0,
                    VImage::option()->set("vscale", 8000.0 / 3300.0)->set("kernel", VIPS_KERNEL_NEAREST))
            .write_to_file(file.toUtf8().constData(), VImage::option()->set("Q", 90));
        return file;
    }();
    return path;
}

void setUp() {
    static const bool ready = [] {
        VIPS_INIT("ImageDecodeBench");
        vips_cache_set_max(0); // every iteration decodes afresh
        qputenv("TMPDIR", QFile::encodeName(scratch().path()));
        return true;
    }();
    (void)ready;
}

// Baseline: the whole image in memory.
void BM_DecodeInFull(benchmark::State& state) {
    setUp();
    for (auto _ : state) {
        VImage image = VImage::new_from_file(bigJpeg().toUtf8().constData()).copy_memory();
        benchmark::DoNotOptimize(image.get_image());
        state.counters["held_MB"] = double(VIPS_IMAGE_SIZEOF_IMAGE(image.get_image())) / 1e6;
    }
}
BENCHMARK(BM_DecodeInFull)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// What a decoder without shrink-on-load would do: everything, then scale to the cap.
void BM_DecodeInFullThenScale(benchmark::State& state) {
    setUp();
    for (auto _ : state) {
        VImage full = VImage::new_from_file(bigJpeg().toUtf8().constData()).copy_memory();
        VImage image = full.resize(4096.0 / 8000.0).copy_memory();
        benchmark::DoNotOptimize(image.get_image());
        state.counters["held_MB"] = double(VIPS_IMAGE_SIZEOF_IMAGE(full.get_image())) / 1e6;
    }
}
BENCHMARK(BM_DecodeInFullThenScale)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The builder's decode: vips_thumbnail to at most 4096 pixels, streaming, never the whole image.
void BM_ThumbnailDecode(benchmark::State& state) {
    setUp();
    const int cap = static_cast<int>(state.range(0));
    for (auto _ : state) {
        VImage image = VImage::thumbnail(bigJpeg().toUtf8().constData(), cap,
                                         VImage::option()->set("height", cap)->set("size", VIPS_SIZE_DOWN))
                           .copy_memory();
        benchmark::DoNotOptimize(image.get_image());
        state.counters["held_MB"] = double(VIPS_IMAGE_SIZEOF_IMAGE(image.get_image())) / 1e6;
    }
}
// 4096 is the builder's cap (too mild a reduction for JPEG shrink-on-load; the decode streams);
// 1500 shows shrink-on-load itself, the decoder reading at half size.
BENCHMARK(BM_ThumbnailDecode)
    ->Arg(4096)
    ->Arg(1500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The whole step, image file to temporary PDF, with the PDF's size against the source's.
void BM_MakePDF(benchmark::State& state, QString source) {
    setUp();
    if (source.isEmpty()) {
        source = bigJpeg();
    }
    qint64 pdfBytes = 0;
    for (auto _ : state) {
        const QString pdf = quorvane::ImagePDFBuilder::makePDF(source);
        pdfBytes = QFileInfo(pdf).size();
        QFile::remove(pdf);
    }
    const qint64 sourceBytes = QFileInfo(source).size();
    state.counters["source_kB"] = double(sourceBytes) / 1000.0;
    state.counters["pdf_kB"] = double(pdfBytes) / 1000.0;
    state.counters["pdf_to_source"] = double(pdfBytes) / double(sourceBytes);
}
BENCHMARK_CAPTURE(BM_MakePDF, typewriter_png, corpus + "/typewriter.png")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_MakePDF, linn_png, corpus + "/linn.png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_MakePDF, baiona_png, corpus + "/baiona.png")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_MakePDF, big_jpeg, QString())->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
