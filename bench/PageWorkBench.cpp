// Time per page with the default correction switches against all of them off, in the same run:
// a page is rendered from its PDF at 300 DPI and put through the page work (cleaning,
// recognition, orientation probe, deskew, perspective), as the pipeline does. Pages: linn.pdf, and
// linn.png turned a quarter turn clockwise, tilted by 2 degrees and keystoned like a phone photo,
// each made into a PDF the way the pipeline makes one from an image. Recognition in English
// without script detection, the same for both settings.
//
//   PageWorkBench [benchmark flags]
//   PageWorkBench --write-inputs DIR    writes the three made pages as 300-DPI PNG files and stops
//                                       (inputs for bench/compare-with-ocrmypdf)
//   PageWorkBench --image-pdf IMAGE PDF writes IMAGE as a one-page PDF, as the pipeline makes one
//                                       (inputs for bench/memory-bench --corrected)

#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "pipeline/ImagePDFBuilder.h"
#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageWork.h"
#include "platform/PdfDocument.h"
#include "platform/TesseractEnginePool.h"
#include "platform/TesseractOCRService.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentMap>
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <numbers>

using namespace quorvane;

namespace {

struct Input {
    QString name;
    QString pdf;
};

std::vector<Input>& inputs() {
    static std::vector<Input> all;
    return all;
}

Raster linnRaster() {
    const QImage image =
        QImage(QStringLiteral(QUORVANE_CORPUS_DIR "/linn.png")).convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) {
        return {};
    }
    return cv::Mat(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                   std::size_t(image.bytesPerLine()))
        .clone();
}

// The page as a phone held above its lower edge sees it: the top edge 8% narrower on each side
// and 3% lower.
Raster keystoned(const Raster& page) {
    const float w = float(page.cols), h = float(page.rows);
    const cv::Point2f corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    const cv::Point2f seen[] = {{0.08f * w, 0.03f * h}, {0.92f * w, 0.03f * h}, {w, h}, {0, h}};
    Raster result;
    cv::warpPerspective(page, result, cv::getPerspectiveTransform(corners, seen), page.size(),
                        cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    return result;
}

// Writes linn-turned.png, linn-tilted.png and linn-keystoned.png at 300 DPI into `folder`.
bool writeMadePages(const QString& folder) {
    const Raster linn = linnRaster();
    if (linn.empty() || !QDir().mkpath(folder)) {
        return false;
    }
    const std::pair<const char*, Raster> pages[] = {
        {"linn-turned", PageOrientation::rotated(linn, 1)},
        {"linn-tilted", PageDeskew::rotated(linn, 2 * std::numbers::pi / 180).value_or(Raster())},
        {"linn-keystoned", keystoned(linn)},
    };
    for (const auto& [name, raster] : pages) {
        QImage image(raster.data, raster.cols, raster.rows, int(raster.step), QImage::Format_RGB888);
        image = image.convertToFormat(QImage::Format_Grayscale8);
        image.setDotsPerMeterX(11811); // 300 DPI
        image.setDotsPerMeterY(11811);
        if (raster.empty() || !image.save(QDir(folder).filePath(QString::fromLatin1(name) + ".png"))) {
            return false;
        }
    }
    return true;
}

OCROptions options(bool corrections) {
    OCROptions result; // the defaults: conservative cleaning, rotation, deskew and perspective on
    result.languages = {QStringLiteral("en-US")};
    result.automaticallyDetectsLanguage = false;
    if (!corrections) {
        result.preprocessing = PreprocessStrength::off;
        result.autoRotate = false;
        result.deskew = false;
        result.perspective = false;
    }
    return result;
}

void TimePage(benchmark::State& state, const Input& input, bool corrections) {
    const auto document = PdfDocument::open(input.pdf);
    const auto page = document ? document->page(0) : std::nullopt;
    if (!page) {
        state.SkipWithError("cannot open the input");
        return;
    }
    const TesseractOCRService ocr;
    const OCROptions chosen = options(corrections);
    const auto before = TesseractEnginePool::recognitionCount();
    PageOutcome outcome;
    for (auto _ : state) {
        const auto bitmap = PDFPageRasterizer::render(*page, PDFPageRasterizer::targetDPI);
        outcome = PageWork::process(*bitmap, chosen, ocr);
    }
    state.counters["recognitions"] =
        double(TesseractEnginePool::recognitionCount() - before) / double(state.iterations());
    state.counters["turns"] = outcome.turnsCW;
    state.counters["deskewDegrees"] =
        outcome.deskewAngle == 0 ? 0 : -outcome.deskewAngle * 180 / std::numbers::pi;
    state.counters["warped"] = outcome.correctedRaster ? 1 : 0;
}

// Engines for two threads at once, as the probe uses them, so no benchmark pays for their start.
void warmUp() {
    const Raster small(200, 400, CV_8UC3, cv::Scalar(255, 255, 255));
    const TesseractOCRService ocr;
    const OCROptions english = options(false);
    QtConcurrent::blockingMap(QList<int>{0, 1}, [&](int) { ocr.recognize(small, english); });
}

} // namespace

int main(int argc, char** argv) {
    // Tesseract's OpenMP threads only slow it down here; parallelism comes from our own threads.
    qputenv("OMP_THREAD_LIMIT", "1");
    if (argc == 3 && QByteArray(argv[1]) == "--write-inputs") {
        const bool written = writeMadePages(QString::fromLocal8Bit(argv[2]));
        if (!written) {
            std::fprintf(stderr, "cannot write the pages into %s\n", argv[2]);
        }
        return written ? 0 : 1;
    }

    if (argc == 4 && QByteArray(argv[1]) == "--image-pdf") {
        try {
            const QString pdf = ImagePDFBuilder::makePDF(QString::fromLocal8Bit(argv[2]));
            QFile::remove(QString::fromLocal8Bit(argv[3]));
            return QFile::rename(pdf, QString::fromLocal8Bit(argv[3])) ? 0 : 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "cannot make a PDF of %s: %s\n", argv[2], error.what());
            return 1;
        }
    }

    QTemporaryDir folder;
    if (!writeMadePages(folder.path())) {
        std::fprintf(stderr, "cannot read linn.png from %s or write into %s\n", QUORVANE_CORPUS_DIR,
                     qPrintable(folder.path()));
        return 1;
    }
    inputs().push_back({QStringLiteral("linn.pdf"), QStringLiteral(QUORVANE_CORPUS_DIR "/linn.pdf")});
    for (const char* name : {"linn-turned", "linn-tilted", "linn-keystoned"}) {
        const QString kept = QDir(folder.path()).filePath(QString::fromLatin1(name) + ".pdf");
        try {
            const QString pdf =
                ImagePDFBuilder::makePDF(QDir(folder.path()).filePath(QString::fromLatin1(name) + ".png"));
            if (!QFile::rename(pdf, kept)) {
                QFile::remove(pdf);
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "cannot make %s.pdf: %s\n", name, error.what());
            return 1;
        }
        inputs().push_back({QString::fromLatin1(name), kept});
    }
    warmUp();

    for (const auto& input : inputs()) {
        for (const bool corrections : {false, true}) {
            const std::string name =
                "PageWork/" + input.name.toStdString() + (corrections ? "/defaults" : "/off");
            benchmark::RegisterBenchmark(name.c_str(), TimePage, input, corrections)
                ->Unit(benchmark::kSecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->Iterations(2);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
