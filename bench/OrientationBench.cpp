// What turning a page upright costs, a page in each of its four orientations: the page work's
// upright step (orientation detection, then the recognitions it leads to) as it is, against the
// same step without orientation detection's guesses, so that the four-candidate probe decides
// (the baseline). Pages: linn.png from the corpus, an English page of prose and a French page of
// two columns (whose upright copy orientation detection takes for upside down), drawn at 300 DPI.
// English without script detection; cleaned as by default; engines warm.
// Counters: recognitions per page and the turns applied.
//
//   OrientationBench [benchmark flags]
//   OrientationBench --confidences   prints orientation detection's guess and confidence for
//                                    pages of several layouts and languages in four orientations,
//                                    and whether the page read turned as guessed reads well
//                                    (why every guess is checked), and stops

#include "corrections/PageDeskew.h"
#include "corrections/PageOrientation.h"
#include "corrections/Preprocessor.h"
#include "pipeline/PageWork.h"
#include "platform/TesseractEnginePool.h"
#include "platform/TesseractOCRService.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtConcurrent/QtConcurrentMap>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>

using namespace quorvane;

namespace {

Raster rasterOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) {
        std::fprintf(stderr, "cannot read a page\n");
        std::exit(1); // no figures are better than wrong ones
    }
    return Raster(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                  std::size_t(rgb.bytesPerLine()))
        .clone();
}

Raster corpusPage(const char* name) {
    return rasterOf(QImage(QStringLiteral(QUORVANE_CORPUS_DIR "/%1").arg(QLatin1String(name))));
}

QString pageText(const char* language) {
    QFile file(QStringLiteral(QUORVANE_BENCH_DIR "/pages/%1.txt").arg(QLatin1String(language)));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read bench/pages/%s.txt\n", language);
        std::exit(1);
    }
    return QString::fromUtf8(file.readAll()).simplified();
}

// A letter page at 300 DPI, white, with `text` set in the given boxes one after another.
Raster drawnPage(const QString& text, int pixelSize, const std::vector<QRect>& boxes,
                 const QString& family = QStringLiteral("DejaVu Serif")) {
    QImage image(2550, 3300, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(family);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QStringList words = text.split(QLatin1Char(' '));
    const qsizetype perBox = (words.size() + qsizetype(boxes.size()) - 1) / qsizetype(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const QString part = words.mid(qsizetype(i) * perBox, perBox).join(QLatin1Char(' '));
        painter.drawText(boxes[i], Qt::TextWordWrap | Qt::AlignJustify, part);
    }
    painter.end();
    return rasterOf(image);
}

// A price list: three columns of short entries, sans serif.
Raster tablePage() {
    QStringList rows;
    for (int i = 1; i <= 30; ++i) {
        rows << QStringLiteral("%1\tCatalogue item number %2\t%3.%4 EUR")
                    .arg(i)
                    .arg(1000 + 37 * i)
                    .arg(10 + (i * 7) % 90)
                    .arg((i * 13) % 100, 2, 10, QLatin1Char('0'));
    }
    QImage image(2550, 3300, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList cells = rows[i].split(QLatin1Char('\t'));
        const int y = 400 + i * 80;
        painter.drawText(300, y, cells[0]);
        painter.drawText(500, y, cells[1]);
        painter.drawText(1800, y, cells[2]);
    }
    painter.end();
    return rasterOf(image);
}

struct Page {
    const char* name;
    Raster raster;
};

const std::vector<Page>& pages() {
    static const std::vector<Page> all = [] {
        const std::vector<QRect> single = {QRect(300, 300, 1950, 2700)};
        const std::vector<QRect> columns = {QRect(250, 300, 980, 2800), QRect(1320, 300, 980, 2800)};
        const Raster linn = corpusPage("linn.png");
        return std::vector<Page>{
            {"linn.png", linn},
            {"linn.png tilted 2 degrees",
             PageDeskew::rotated(linn, 2 * std::numbers::pi / 180).value_or(Raster())},
            {"typewriter.png", corpusPage("typewriter.png")},
            {"baiona.png", corpusPage("baiona.png")},
            {"English prose", drawnPage(pageText("en"), 46, single)},
            {"French two columns", drawnPage(pageText("fr"), 38, columns)},
            {"German large type", drawnPage(pageText("de").section(QLatin1Char(' '), 0, 60), 84, single)},
            {"Spanish short note", drawnPage(pageText("es").section(QLatin1Char(' '), 0, 30), 50, single,
                                             QStringLiteral("DejaVu Sans"))},
            {"price list", tablePage()},
        };
    }();
    return all;
}

OCROptions englishOnly() {
    OCROptions options; // conservative cleaning and rotation on, as by default
    options.languages = {QStringLiteral("en-US")};
    options.automaticallyDetectsLanguage = false;
    return options;
}

// The recognizer without orientation detection: every page is read as it lies first, and probed
// when that reads badly.
class WithoutGuesses : public TextRecognizer {
public:
    std::vector<OCRLine> recognize(const Raster& bitmap, const OCROptions& options) const override {
        return ocr_.recognize(bitmap, options);
    }
    OrientationGuess detectOrientation(const Raster&) const override { return {}; }
    OrientationGuess detectOrientationClosely(const Raster&) const override { return {}; }

private:
    TesseractOCRService ocr_;
};

// state.range(0): the page (index into pages()), range(1): the clockwise quarter turns it lies
// at, range(2): 1 for the baseline.
void TimeUpright(benchmark::State& state) {
    const Page& page = pages()[std::size_t(state.range(0))];
    const int lying = int(state.range(1));
    const OCROptions options = englishOnly();
    const Raster cleaned = Preprocessor::apply(PageOrientation::rotated(page.raster, lying), options.preprocessing);
    const TesseractOCRService guessing;
    const WithoutGuesses probing;
    const TextRecognizer& recognizer = state.range(2) == 1 ? static_cast<const TextRecognizer&>(probing) : guessing;
    const auto before = TesseractEnginePool::recognitionCount();
    int turns = -1;
    for (auto _ : state) {
        turns = PageWork::upright(cleaned, options, recognizer).turnsCW;
    }
    state.counters["recognitions"] =
        double(TesseractEnginePool::recognitionCount() - before) / double(state.iterations());
    state.counters["turns"] = turns;
    if ((turns + lying) % 4 != 0) {
        state.SkipWithError("the page was not turned upright");
    }
}

// Engines for two threads at once, as the probe uses them, so no benchmark pays for their start.
void warmUp() {
    const Raster small(200, 400, CV_8UC3, cv::Scalar(255, 255, 255));
    const TesseractOCRService ocr;
    QtConcurrent::blockingMap(QList<int>{0, 1}, [&](int) {
        ocr.recognize(small, englishOnly());
        ocr.detectOrientation(small);
    });
}

int printConfidences() {
    const TesseractOCRService ocr;
    const OCROptions options = englishOnly();
    struct Row {
        const Page* page;
        int lying;
        OrientationGuess guess;
        OrientationGuess closer;
        bool readsWellAsGuessed = false;
    };
    std::vector<Row> rows;
    for (const auto& page : pages()) {
        for (int lying = 0; lying < 4; ++lying) {
            rows.push_back({&page, lying, {}});
        }
    }
    QtConcurrent::blockingMap(rows, [&](Row& row) {
        const Raster cleaned =
            Preprocessor::apply(PageOrientation::rotated(row.page->raster, row.lying), options.preprocessing);
        const Raster reduced = PageOrientation::downscaled(cleaned, PageOrientation::guessMaxDimension);
        row.guess = ocr.detectOrientation(reduced);
        row.closer = ocr.detectOrientationClosely(reduced);
        row.readsWellAsGuessed =
            PageOrientation::readsWell(ocr.recognize(PageOrientation::rotated(cleaned, row.guess.turnsCW), options));
    });
    std::printf("%-28s %5s %5s %10s %6s %12s %s\n", "page", "lying", "guess", "confidence", "right",
                "closer look", "reads well as guessed");
    for (const auto& row : rows) {
        const bool right = (row.guess.turnsCW + row.lying) % 4 == 0;
        const bool closerRight = (row.closer.turnsCW + row.lying) % 4 == 0;
        std::printf("%-28s %5d %5d %10.2f %6s %5d %6.2f%s %s\n", row.page->name, row.lying * 90, row.guess.turnsCW,
                    row.guess.confidence, right ? "yes" : "NO", row.closer.turnsCW, row.closer.confidence,
                    closerRight ? "" : "!", row.readsWellAsGuessed ? "yes" : "no");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Tesseract's OpenMP threads only slow it down here; parallelism comes from our own threads.
    qputenv("OMP_THREAD_LIMIT", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for drawing the pages
    if (argc == 2 && QByteArray(argv[1]) == "--confidences") {
        return printConfidences();
    }
    warmUp();
    const std::map<int, const char*> timed = {{0, "linn.png"}, {4, "English prose"}, {5, "French two columns"}};
    for (const auto& [index, name] : timed) {
        for (int lying = 0; lying < 4; ++lying) {
            for (const bool baseline : {true, false}) {
                const std::string label = std::string("Upright/") + name + "/lying " + std::to_string(lying * 90) +
                                          (baseline ? "/probe decides" : "/guess checked");
                benchmark::RegisterBenchmark(label.c_str(), TimeUpright)
                    ->Args({index, lying, baseline ? 1 : 0})
                    ->Unit(benchmark::kSecond)
                    ->UseRealTime()
                    ->MeasureProcessCPUTime()
                    ->Iterations(2);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
