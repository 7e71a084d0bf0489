// What identifying the language of a page's text gains and costs. Pages in English, French,
// German and Spanish (bench/pages/*.txt, drawn at 300 DPI in a serif face) are recognised with
// the default languages and automatic detection, as a fresh user does:
//   first pass only    the recognition alone, as without identification (the baseline)
//   identified         then identification, and a second recognition with the identified
//                      languages alone (each a fifth of the text or more; most pages have one)
//                      when the main one does not already lead: what the page work does
//   identified first   the second recognition with the identified languages first and the other
//                      default languages after them (the alternative that was measured)
// Counters: accented_recall (words with a letter outside ASCII that the text holds, as a share of
// the page's), word_recall (all words of three letters or more) and second_pass (1 when a second
// recognition ran). Times are processor seconds of the recognising thread, engines warm.
// The identification step on its own is timed on the French page's first-pass text.
//
//   LanguageBench [benchmark flags]

#include "platform/TesseractOCRService.h"
#include "platform/LanguageIdentifier.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>

using namespace quorvane;

namespace {

const char* const pageLanguages[] = {"en", "fr", "de", "es", "fr+en", "fr+de"};

QString textFile(const char* language) {
    QFile file(QStringLiteral(QUORVANE_BENCH_DIR "/pages/%1.txt").arg(language));
    if (!file.open(QIODevice::ReadOnly)) {
        std::abort(); // no figures are better than wrong ones
    }
    return QString::fromUtf8(file.readAll()).simplified();
}

// The last pages are half one language, half another.
QString pageText(int language) {
    const QStringList parts = QString::fromLatin1(pageLanguages[language]).split(QLatin1Char('+'));
    if (parts.size() == 1) {
        return textFile(pageLanguages[language]);
    }
    const auto half = [](const QString& text) {
        const QStringList words = text.split(QLatin1Char(' '));
        return words.mid(0, words.size() / 2).join(QLatin1Char(' '));
    };
    return half(textFile(qPrintable(parts[0]))) + QLatin1Char(' ') + half(textFile(qPrintable(parts[1])));
}

// A letter page at 300 DPI with one-inch margins, 11-point type.
Raster drawnPage(const QString& text) {
    QImage image(2550, 3300, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(46);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(300, 300, 1950, 2700), Qt::TextWordWrap | Qt::AlignJustify, text);
    painter.end();
    return Raster(image.height(), image.width(), CV_8UC3, image.bits(), image.bytesPerLine()).clone();
}

const Raster& page(int language) {
    static std::map<int, Raster> pages;
    auto& drawn = pages[language];
    if (drawn.empty()) {
        drawn = drawnPage(pageText(language));
    }
    return drawn;
}

QHash<QString, int> wordCounts(const QString& text, bool accentedOnly) {
    QHash<QString, int> counts;
    static const QRegularExpression word(QStringLiteral("[\\p{L}\\p{N}]{3,}"));
    for (auto it = word.globalMatch(text.toLower()); it.hasNext();) {
        const QString found = it.next().captured();
        const bool accented = std::any_of(found.begin(), found.end(), [](QChar c) { return c.unicode() > 127; });
        if (!accentedOnly || accented) {
            counts[found] += 1;
        }
    }
    return counts;
}

double recall(const QString& read, const QString& truth, bool accentedOnly) {
    const auto got = wordCounts(read, accentedOnly);
    const auto wanted = wordCounts(truth, accentedOnly);
    int total = 0, hit = 0;
    for (auto it = wanted.begin(); it != wanted.end(); ++it) {
        total += it.value();
        hit += std::min(it.value(), got.value(it.key()));
    }
    return total == 0 ? 1.0 : double(hit) / total;
}

QString textOf(const std::vector<OCRLine>& lines) {
    QStringList texts;
    for (const auto& line : lines) {
        texts << line.text;
    }
    return texts.join(QLatin1Char('\n'));
}

// state.range(0): the page's language; range(1): 0 first pass only, 1 identified, 2 identified first.
void recognisePage(benchmark::State& state) {
    const int language = int(state.range(0));
    const int variant = int(state.range(1));
    const Raster& bitmap = page(language);
    const OCROptions options; // a fresh user's: four languages, automatic detection
    const TesseractOCRService ocr;
    QString secondLanguages;
    const auto read = [&] {
        auto lines = ocr.recognize(bitmap, options);
        if (variant == 0) {
            return std::make_pair(lines, false);
        }
        auto led = ocr.ledByTextLanguage(lines, options);
        if (!led) {
            return std::make_pair(lines, false);
        }
        secondLanguages = led->languages.join(QLatin1Char('+'));
        if (variant == 2) {
            QStringList languages = led->languages;
            for (const auto& tag : options.languages) {
                if (!languages.contains(tag)) {
                    languages << tag;
                }
            }
            led->languages = languages;
        }
        return std::make_pair(ocr.recognize(bitmap, *led), true);
    };
    static std::map<std::pair<int, int>, bool> warmed;
    if (!std::exchange(warmed[{language, variant}], true)) {
        read(); // loads the engines this variant uses
    }
    std::pair<std::vector<OCRLine>, bool> result;
    for (auto _ : state) {
        result = read();
    }
    const QString truth = pageText(language);
    const QString text = textOf(result.first);
    state.counters["accented_recall"] = recall(text, truth, true);
    state.counters["word_recall"] = recall(text, truth, false);
    state.counters["second_pass"] = result.second ? 1 : 0;
    static const char* const variants[] = {"first pass only", "identified", "identified first"};
    state.SetLabel(std::string(pageLanguages[language]) + ", " + variants[variant] +
                   (result.second ? " (" + secondLanguages.toStdString() + ")" : std::string()));
}

void identifyLanguage(benchmark::State& state) {
    OCROptions options;
    const QString text = textOf(TesseractOCRService().recognize(page(1), options));
    QStringList identified;
    for (auto _ : state) {
        identified = LanguageIdentifier::languagesOf(text);
        benchmark::DoNotOptimize(identified);
    }
    state.SetLabel(identified.join(QLatin1Char('+')).toStdString());
}

double fastest(const std::vector<double>& seconds) { return *std::min_element(seconds.begin(), seconds.end()); }

} // namespace

BENCHMARK(recognisePage)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1, 2}})
    ->Iterations(1)
    ->Repetitions(2)
    ->ComputeStatistics("min", fastest)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kSecond);

BENCHMARK(identifyLanguage)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for drawing the pages
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
