#include "platform/TesseractOCRService.h"
#include "core/OCRError.h"
#include "corrections/PageOrientation.h"
#include "corrections/Preprocessor.h"
#include "platform/TesseractEnginePool.h"
#include "support/QtPrinting.h"
#include "support/RasterFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <random>

using namespace quorvane;

namespace {


QString joinedText(const std::vector<OCRLine>& lines) {
    QStringList texts;
    for (const auto& line : lines) {
        texts << line.text;
    }
    return texts.join('\n');
}

// Confidence averaged over characters, so that short scraps count little.
double characterWeightedConfidence(const std::vector<OCRLine>& lines) {
    double weighted = 0, characters = 0;
    for (const auto& line : lines) {
        const double count = line.text.trimmed().size();
        weighted += count * line.confidence;
        characters += count;
    }
    return characters > 0 ? weighted / characters : 0;
}

// A normalised box (origin bottom left) in pixels of an image (origin top left).
Rect inPixels(const Rect& box, const Raster& raster) {
    return {box.x * raster.cols, (1 - box.maxY()) * raster.rows, box.width * raster.cols,
            box.height * raster.rows};
}

const OCRLine* lineContaining(const std::vector<OCRLine>& lines, const QString& words) {
    const auto it =
        std::find_if(lines.begin(), lines.end(), [&](const OCRLine& l) { return l.text.contains(words); });
    return it == lines.end() ? nullptr : &*it;
}

// The words of linn.txt, three letters or longer.
QStringList linnWords() {
    QStringList words = test::readTextFile(test::corpusPath("linn.txt")).split(QRegularExpression("\\s+"));
    words.removeIf([](const QString& word) { return word.size() < 3; });
    return words;
}

// A letter page of 10-point serif, `words` in an order chosen by `seed`, scanned with the lid
// open (a dark surround of 120 pixels), turned, then cleaned and reduced as the page work does it
// before orientation detection.
Raster pageOnDarkSurround(const QStringList& words, int seed, int turnsCW) {
    std::mt19937 random(seed);
    QStringList text;
    for (int i = 0; i < 480; ++i) {
        text << words[qsizetype(random() % words.size())];
    }
    QImage image(2790, 3540, QImage::Format_RGB888);
    image.fill(QColor(15, 15, 15));
    QPainter painter(&image);
    painter.fillRect(120, 120, 2550, 3300, Qt::white);
    QFont font("DejaVu Serif");
    font.setPixelSize(42);
    painter.setFont(font);
    painter.drawText(QRect(380, 370, 2030, 2800), Qt::TextWordWrap, text.join(' '));
    painter.end();
    const Raster page = test::turnedPage(test::rasterFromImage(image), turnsCW);
    return PageOrientation::downscaled(Preprocessor::apply(page, PreprocessStrength::conservative),
                                       PageOrientation::guessMaxDimension);
}

} // namespace

// The real page costs seconds to recognise: its lines are checked together. (Where their boxes lie
// and their reading order are read back from the text layer end to end: ScannedPdf, PageCorrections.)
TEST(TesseractOCRService, ReadsARealPageInLinesThatDoNotOverlap) {
    const Raster page = test::corpusRaster("linn.png");
    const auto lines = TesseractOCRService().recognize(page, test::englishOnly());
    ASSERT_FALSE(lines.empty());
    EXPECT_GE(test::wordRecall(joinedText(lines), test::readTextFile(test::corpusPath("linn.txt"))), 0.98);

    for (const auto& line : lines) {
        SCOPED_TRACE(line.text.toStdString());
        EXPECT_FALSE(line.text.endsWith('\n'));
        EXPECT_GE(line.confidence, 0.0f);
        EXPECT_LE(line.confidence, 1.0f);
    }
    // Lines that share a stretch of the page horizontally overlap vertically by a few pixels at most.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const Rect a = inPixels(lines[i].boundingBox, page), b = inPixels(lines[j].boundingBox, page);
            const double sharedWidth = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
            const double sharedHeight = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
            if (sharedWidth > 0) {
                EXPECT_LE(sharedHeight, 4.0)
                    << lines[i].text.toStdString() << " / " << lines[j].text.toStdString();
            }
        }
    }
    EXPECT_GT(characterWeightedConfidence(lines), 0.85);
}

TEST(TesseractOCRService, DrawnLinesComeBackWhereTheyWereDrawnAtBothLevelsAndWhiteOnBlack) {
    // A large page, so that the fast level reads a reduced copy of it.
    const QStringList texts{"Quarterly figures for the northern region", "were better than anyone expected"};
    const auto drawn = test::drawTextPage(texts, 2600, 1800, 56);
    Raster inverted;
    cv::bitwise_not(drawn.raster, inverted);
    const auto recognitions = TesseractEnginePool::recognitionCount();
    std::vector<OCRLine> firstRead;
    for (const auto& [raster, level] : {std::pair{drawn.raster, OCRRecognitionLevel::accurate},
                                        {drawn.raster, OCRRecognitionLevel::fast},
                                        {inverted, OCRRecognitionLevel::accurate}}) {
        SCOPED_TRACE(rawValue(level).toStdString() + (raster.data == inverted.data ? " white on black" : ""));
        const auto lines = TesseractOCRService().recognize(raster, test::englishOnly(level));
        ASSERT_EQ(lines.size(), texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(lines[i].text, texts[i]);
            EXPECT_GT(lines[i].confidence, 0.8f);
            const Rect box = inPixels(lines[i].boundingBox, drawn.raster);
            const Rect& ink = drawn.lineRects[i];
            EXPECT_NEAR(box.minX(), ink.minX(), 8);
            EXPECT_NEAR(box.maxX(), ink.maxX(), 8);
            EXPECT_NEAR(box.minY(), ink.minY(), 8);
            EXPECT_NEAR(box.maxY(), ink.maxY(), 8);
            EXPECT_TRUE(lines[i].spans.empty());
        }
        if (firstRead.empty()) {
            firstRead = lines;
        }
    }
    const auto engines = TesseractEnginePool::shared().initialisationCount();
    EXPECT_EQ(TesseractOCRService().recognize(drawn.raster, test::englishOnly()), firstRead);
    EXPECT_EQ(TesseractEnginePool::shared().initialisationCount(), engines);
    EXPECT_EQ(TesseractEnginePool::recognitionCount(), recognitions + 4);

    // Small print on a page, and a till receipt's strip: reduced to the pixels of a letter page,
    // and read from a larger copy where lines would still be a few pixels tall.
    const QStringList small{"Robinson H. 6 Mill Road 263519", "Jackson C. 80 Queens Road 433347"};
    for (const auto& [width, height, pixelSize] : {std::tuple{2550, 3300, 22}, {900, 9000, 40}}) {
        const auto fine = test::drawTextPage(small, width, height, pixelSize);
        EXPECT_EQ(joinedText(TesseractOCRService().recognize(fine.raster,
                                                             test::englishOnly(OCRRecognitionLevel::fast))),
                  small.join('\n'))
            << width << " x " << height;
    }
}

// A table's row comes back as one line, in spans that lie on its cells; prose is never split.
TEST(TesseractOCRService, AWideGapPartsALineIntoSpansOnTheirWords) {
    const QList<test::Word> cells{{{100, 100, 300, 50}, "Apples"},
                                  {{1500, 100, 250, 50}, "$5.00"},
                                  {{100, 200, 520, 50}, "Pears and plums"},
                                  {{1500, 200, 280, 50}, "$12.50"}};
    const Raster page = test::rasterFromImage(test::renderWords({2000, 400}, cells));
    const auto lines = TesseractOCRService().recognize(page, test::englishOnly());
    ASSERT_EQ(lines.size(), 2u);
    for (int row = 0; row < 2; ++row) {
        const auto& [left, right] = std::pair{cells[2 * row], cells[2 * row + 1]};
        EXPECT_EQ(lines[row].text, left.text + " " + right.text);
        ASSERT_EQ(lines[row].spans.size(), 2u);
        EXPECT_EQ(lines[row].spans[1].start, left.text.size() + 1);
        for (const auto& [span, cell] :
             {std::pair{lines[row].spans[0], left}, {lines[row].spans[1], right}}) {
            const Rect box = inPixels(span.boundingBox, page);
            // Drawn from the cell's left edge; the cells are wider than their words.
            EXPECT_NEAR(box.minX(), cell.pixels.left(), 10) << cell.text.toStdString();
            EXPECT_LT(box.maxX(), cell.pixels.right()) << cell.text.toStdString();
        }
    }
}

// Chinese is written without spaces between its words, and must come back so to be found.
TEST(TesseractOCRService, ChineseComesBackWithoutSpacesBetweenItsWords) {
    OCROptions chinese = test::englishOnly();
    chinese.languages = {"zh-Hans", "en-US"};
    const auto drawn = test::drawTextPage(
        {"床前明月光，疑是地上霜。", "举头望明月，低头思故乡。", "2022年3月使用Linux系统"}, 2000, 700, 64);
    const auto lines = TesseractOCRService().recognize(drawn.raster, chinese);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].text.startsWith("床前明月光，")) << lines[0].text.toStdString();
    EXPECT_EQ(lines[1].text, "举头望明月，低头思故乡。");
    EXPECT_EQ(lines[2].text, "2022年3月使用Linux系统");
}

TEST(TesseractOCRService, LanguagesFilterExactlyAndFallBackToEnglish) {
    const QStringList supported{"en-US", "ru-RU", "fr-FR", "de-DE"};
    OCROptions options = test::englishOnly();
    const auto languages = [&](const QStringList& tags, const QString& script = {}) {
        options.languages = tags;
        return TesseractOCRService::recognitionLanguages(options, supported, script);
    };
    EXPECT_EQ(languages({"xx-XX"}), QStringList{"en-US"});
    EXPECT_EQ(languages({"ja-JP"}), QStringList{"en-US"});
    EXPECT_EQ(languages({"de-de"}), QStringList{"en-US"}); // exact, case-sensitive match
    EXPECT_EQ(languages({}), QStringList{"en-US"});
    EXPECT_EQ(languages({"de-DE", "xx-XX", "en-US"}), (QStringList{"de-DE", "en-US"}));
    EXPECT_EQ(TesseractOCRService::tesseractLanguages(languages({"de-DE", "en-US"})), "deu+eng");

    // A detected script: the chosen languages of that script, then the other installed ones.
    EXPECT_EQ(languages({"de-DE", "ru-RU"}, "Latin"), (QStringList{"de-DE", "en-US", "fr-FR"}));
    EXPECT_EQ(languages({"de-DE", "ru-RU"}, "Cyrillic"), QStringList{"ru-RU"});
    EXPECT_EQ(languages({"de-DE"}, "Cyrillic"), QStringList{"ru-RU"});
    // No installed language is written in it: as without detection.
    EXPECT_EQ(languages({"de-DE", "ru-RU"}, "Han"), (QStringList{"de-DE", "ru-RU"}));
    EXPECT_EQ(languages({"xx-XX"}, "Arabic"), QStringList{"en-US"});
}

TEST(TesseractOCRService, UnsupportedLanguagesAndMissingDataBehaveSensibly) {
    const auto drawn = test::drawTextPage({"Fallback to English works"}, 1200, 300);
    QTemporaryDir onlyEnglish, nothing;
    const QString installed = TesseractEnginePool::dataDirectory();
    ASSERT_TRUE(QFile::copy(installed + "/eng.traineddata", onlyEnglish.filePath("eng.traineddata")));
    const test::ScopedEnvironment dataDirectory("TESSDATA_PREFIX", onlyEnglish.path().toLocal8Bit());
    EXPECT_EQ(TesseractOCRService::supportedLanguages(), QStringList{"en-US"});
    OCROptions german = test::englishOnly();
    german.languages = {"de-DE"};
    const auto lines = TesseractOCRService().recognize(drawn.raster, german);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Fallback to English works");

    // A damaged script detection model: the page is read as without detection.
    ASSERT_TRUE(QFile::copy(installed + "/fra.traineddata", onlyEnglish.filePath("fra.traineddata")));
    ASSERT_TRUE(test::writeFile(onlyEnglish.filePath("osd.traineddata"), QByteArray(4096, 'x')));
    OCROptions detecting = test::englishOnly();
    detecting.automaticallyDetectsLanguage = true;
    const auto detected = TesseractOCRService().recognize(drawn.raster, detecting);
    ASSERT_EQ(detected.size(), 1u);
    EXPECT_EQ(detected[0].text, "Fallback to English works");

    dataDirectory.set(nothing.path().toLocal8Bit());
    EXPECT_TRUE(TesseractOCRService::supportedLanguages().isEmpty());
    try {
        TesseractOCRService().recognize(drawn.raster, german);
        ADD_FAILURE() << "recognising without language data succeeded";
    } catch (const PlatformError& error) {
        EXPECT_TRUE(error.message().contains("eng.traineddata")) << error.message().toStdString();
    }
}

TEST(TesseractOCRService, CustomWordsReachTesseractOnlyWhenThereAreSome) {
    const auto drawn = test::drawTextPage({"Sondek turntables from Linn"}, 1200, 300);
    auto& pool = TesseractEnginePool::shared();
    OCROptions options = test::englishOnly();

    QStringList manyWords;
    for (int i = 0; i < 10000; ++i) {
        manyWords << QString("Zorvel%1").arg(i);
    }
    manyWords << "Sondek"
              << "Linn";
    options.customWords = manyWords;
    const auto lines = TesseractOCRService().recognize(drawn.raster, options);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Sondek turntables from Linn");
    {
        // The engine that read the page is idle again and carries the words.
        const auto engines = pool.initialisationCount();
        auto lease = pool.borrow({"eng", false, manyWords});
        EXPECT_EQ(pool.initialisationCount(), engines);
        EXPECT_STRNE(lease.engine().GetStringVariable("user_words_file"), "");
    }

    options.customWords = {};
    TesseractOCRService().recognize(drawn.raster, options);
    const auto engines = pool.initialisationCount();
    auto lease = pool.borrow({"eng", false, {}});
    EXPECT_EQ(pool.initialisationCount(), engines);
    EXPECT_STREQ(lease.engine().GetStringVariable("user_words_file"), "");
}

TEST(TesseractOCRService, AutomaticDetectionReadsWithTheLanguagesOfTheDetectedScript) {
    OCROptions options = test::englishOnly();
    options.automaticallyDetectsLanguage = true;
    options.customWords = {"Qaxwyvern"}; // an engine key no other test uses
    // With Latin detected: English, then the other installed Latin languages. Without
    // detection: English alone.
    const QString latin = TesseractOCRService::tesseractLanguages(TesseractOCRService::recognitionLanguages(
        options, TesseractOCRService::supportedLanguages(), "Latin"));
    if (!TesseractEnginePool::isInstalled("osd") || !latin.startsWith("eng+")) {
        GTEST_SKIP() << "needs the script detection model and a second Latin language";
    }
    const auto drawn = test::drawTextPage(
        {"The committee met on Tuesday to discuss the budget", "and agreed to publish its report next month"},
        2000, 500, 40);
    EXPECT_EQ(TesseractOCRService::detectScript(drawn.raster), "Latin");
    EXPECT_EQ(TesseractOCRService::detectScript(Raster()), "");
    const auto lines = TesseractOCRService().recognize(drawn.raster, options);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "The committee met on Tuesday to discuss the budget");

    // The engine that read the page is idle again: it was the one for the Latin languages.
    auto& pool = TesseractEnginePool::shared();
    const auto engines = pool.initialisationCount();
    auto lease = pool.borrow({latin, false, {"Qaxwyvern"}});
    EXPECT_EQ(pool.initialisationCount(), engines);
}

TEST(TesseractOCRService, DegenerateBitmapsGiveNoLinesAndOddFormatsAClearError) {
    const TesseractOCRService ocr;
    for (const auto level : {OCRRecognitionLevel::accurate, OCRRecognitionLevel::fast}) {
        EXPECT_TRUE(ocr.recognize(Raster(), test::englishOnly(level)).empty());
        EXPECT_TRUE(
            ocr.recognize(Raster(1, 1, CV_8UC3, cv::Scalar(255, 255, 255)), test::englishOnly(level)).empty());
        EXPECT_TRUE(ocr.recognize(Raster(1, 1, CV_8UC3, cv::Scalar(0, 0, 0)), test::englishOnly(level)).empty());
    }
    OCROptions detecting = test::englishOnly();
    detecting.automaticallyDetectsLanguage = true;
    EXPECT_TRUE(ocr.recognize(Raster(1, 1, CV_8UC3, cv::Scalar(0, 0, 0)), detecting).empty());
    // A sliver far longer than the fast level's copy: the copy keeps at least one pixel across.
    EXPECT_TRUE(
        ocr.recognize(Raster(1, 5000, CV_8UC3, cv::Scalar(0, 0, 0)), test::englishOnly(OCRRecognitionLevel::fast))
            .empty());
    // A map's specks are read as lines of spaces, which are left out.
    for (const auto& line : ocr.recognize(test::corpusRaster("baiona.png"), test::englishOnly())) {
        EXPECT_FALSE(line.text.trimmed().isEmpty());
    }
    EXPECT_THROW(ocr.recognize(Raster(10, 10, CV_16UC1, cv::Scalar(0)), test::englishOnly()), PlatformError);
}

// A wrong guess costs readings the wrong way round. The page's edge against a dark surround passed
// for upside-down text (at 1.0 to 2.9 on these pages), and on a copy as small as the probe's,
// 10-point text was guessed wrong in any orientation.
TEST(TesseractOCRService, OrientationIsGuessedFromTheTextNotFromADarkSurround) {
    const TesseractOCRService ocr;
    const QStringList words = linnWords();
    ASSERT_GT(words.size(), 100);
    for (const int seed : {3, 5}) {
        for (int turns = 0; turns < 4; ++turns) {
            const auto guess = ocr.detectOrientation(pageOnDarkSurround(words, seed, turns));
            EXPECT_EQ((guess.turnsCW + turns) % 4, 0) << "page " << seed << " turned " << turns;
            EXPECT_GE(guess.confidence, 1.0) << "page " << seed << " turned " << turns;
        }
    }

    // Read upside down in four languages, some junk lines pass for well read: the page is not read
    // again part by part for text they left out, which took five times the page's own time.
    OCROptions fourLanguages = test::englishOnly();
    fourLanguages.languages = {"en-US", "fr-FR", "de-DE", "es-ES"};
    const auto recognitions = TesseractEnginePool::recognitionCount();
    ocr.recognize(test::turnedPage(test::corpusRaster("linn.png"), 2), fourLanguages);
    EXPECT_EQ(TesseractEnginePool::recognitionCount(), recognitions + 1);
}

// A till receipt in a fixed-pitch font, its amounts right-aligned: the decimal points line up,
// Tesseract's layout analysis took them for a column's edge, and the digits around them were lost
// or read as one vertical line of junk, or cut in two at the point ("55." and "92"). Every amount
// must come back whole, on its place.
TEST(TesseractOCRService, AmountsOfAReceiptComeBackWhole) {
    const QStringList items =
        QString("Milk 1L,Bread wholemeal,Eggs free range 12,Butter salted,Apples Braeburn,"
                "Coffee beans 500g,Cheddar mature,Olive oil extra virgin,Rice basmati 1kg,"
                "Orange juice,TOTAL")
            .split(',');
    const QStringList amounts =
        QString("2.86 3.55 1.50 17.83 4.50 12.03 1.37 9.65 0.56 2.07 55.92").split(' ');
    QImage receipt(945, 1300, QImage::Format_Grayscale8);
    receipt.fill(Qt::white);
    QPainter painter(&receipt);
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(40);
    painter.setFont(font);
    std::vector<QRect> amountBoxes;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QRect row(60, 80 + 60 * int(i), 820, 40);
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, items[i]);
        QRect drawn;
        painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, amounts[i], &drawn);
        amountBoxes.push_back(drawn);
    }
    painter.end();
    const Raster page = test::rasterFromImage(receipt);

    for (const auto level : {OCRRecognitionLevel::accurate, OCRRecognitionLevel::fast}) {
        SCOPED_TRACE(rawValue(level).toStdString());
        const auto lines = TesseractOCRService().recognize(page, test::englishOnly(level));
        for (qsizetype i = 0; i < amounts.size(); ++i) {
            const OCRLine* line = lineContaining(lines, amounts[i]);
            ASSERT_TRUE(line) << amounts[i].toStdString() << " in\n" << joinedText(lines).toStdString();
            const Rect box = inPixels(line->boundingBox, page);
            EXPECT_NEAR(box.maxX(), amountBoxes[size_t(i)].right(), 12) << amounts[i].toStdString();
            EXPECT_NEAR(box.minY(), amountBoxes[size_t(i)].top(), 20) << amounts[i].toStdString();
        }
    }
}

// A table ruled with 4-pixel lines at 300 DPI: told no resolution, Tesseract looked for the rules
// as if the page had 70 DPI, found them too thick to be rules, and read nothing in the cells.
TEST(TesseractOCRService, TextInTheCellsOfARuledTableIsRead) {
    const QStringList words =
        QString("harbour committee timber supports northern landing repairs winter storms "
                "fishing boats engineer cranes barge library hospital")
            .split(' ');
    QImage table(2550, 3300, QImage::Format_Grayscale8);
    table.fill(Qt::white);
    QPainter painter(&table);
    QFont font("DejaVu Sans");
    font.setPixelSize(38);
    painter.setFont(font);
    const int columns[] = {200, 900, 1500, 1950, 2350}, top = 400, rowHeight = 90, rows = 25;
    QStringList cells;
    for (int row = 0; row < rows; ++row) {
        const QStringList texts{words[row % words.size()] + " " + words[(row * 7 + 3) % words.size()],
                                QString("REF-%1").arg(1000 + row * 337), QString::number(row + 1),
                                QString("%1.%2").arg(row * 41 + 10).arg(row * 3 % 100, 2, 10, QChar('0'))};
        for (int column = 0; column < 4; ++column) {
            painter.drawText(columns[column] + 20, top + row * rowHeight + 62, texts[column]);
        }
        cells << texts;
    }
    painter.setPen(QPen(Qt::black, 4));
    for (int row = 0; row <= rows; ++row) {
        painter.drawLine(columns[0], top + row * rowHeight, columns[4], top + row * rowHeight);
    }
    for (const int x : columns) {
        painter.drawLine(x, top, x, top + rows * rowHeight);
    }
    painter.end();

    const QString text =
        joinedText(TesseractOCRService().recognize(test::rasterFromImage(table), test::englishOnly()));
    for (const auto& cell : cells) {
        EXPECT_TRUE(text.contains(cell)) << cell.toStdString() << " in\n" << text.toStdString();
    }
}
