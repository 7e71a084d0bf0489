#include "platform/TesseractOCRService.h"

#include "core/OCRError.h"
#include "core/OCRLanguageCatalog.h"
#include "platform/CutFigures.h"
#include "platform/LanguageIdentifier.h"
#include "platform/LeptonicaImage.h"
#include "platform/MissedText.h"
#include "platform/TesseractEnginePool.h"

#include <QRect>
#include <QSet>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

namespace quorvane {

namespace {

// The fast level reads a copy of as many pixels as a letter page 1300 pixels long: about 118 DPI.
// Layout analysis and line extraction shrink with the pixels, the text-line network much less (it
// reads every line at a fixed height). On a 300-DPI page this is about 1.75 times faster and loses
// under 1% of the words; smaller copies lose more without getting much faster.
constexpr int fastLongSide = 1300;
// Lines of fewer pixels than this lose many of their words: small print, or ordinary text on a
// page larger than letter, lies at 8 to 10 pixels a line on the reduced copy, which loses a
// quarter of it. Such a page is read from a copy on which its lines are `fastLineHeight` tall.
constexpr double smallestFastLineHeight = 12;
constexpr double fastLineHeight = 16;

// Tesseract reads every poorly read line a second time as white on black. Upright pages have few
// such lines, but on a turned or garbled page every line is one, which doubles its cost: the fast
// level (and with it every candidate of the orientation probe) does without that second reading.
const char* invertedRetry(OCRRecognitionLevel level) { return level == OCRRecognitionLevel::fast ? "0" : "1"; }

// Script detection classifies character shapes; on smaller copies of a 300-DPI letter page they
// got too coarse (at 825 pixels Latin text was taken for Cyrillic).
constexpr int scriptDetectionLongSide = 1600;

// The scripts Tesseract's script detection reports for text in each catalog language.
QStringList scriptsOf(const QString& tag) {
    if (tag == "ru-RU" || tag == "uk-UA") {
        return {"Cyrillic"};
    }
    if (tag == "zh-Hans" || tag == "zh-Hant") {
        return {"Han"};
    }
    if (tag == "ja-JP") {
        return {"Japanese", "Hiragana", "Katakana"};
    }
    if (tag == "ko-KR") {
        return {"Korean", "Hangul"};
    }
    return {"Latin"};
}

bool isWrittenIn(const QString& tag, const QString& script) {
    return scriptsOf(tag).contains(script);
}

// A copy of as many pixels as a letter page whose longer side is `longSide`; the bitmap itself
// when it is small enough.
Raster shrunkTo(const Raster& bitmap, double longSide) {
    const double scale = letterPixelsScale(bitmap.cols, bitmap.rows, longSide);
    if (scale >= 1) {
        return bitmap;
    }
    // At least one pixel across, however thin the bitmap.
    const cv::Size size(std::max(1, int(std::lround(bitmap.cols * scale))),
                        std::max(1, int(std::lround(bitmap.rows * scale))));
    Raster copy;
    cv::resize(bitmap, copy, size, 0, 0, cv::INTER_AREA);
    return copy;
}

// `resolution` 0 leaves Tesseract to estimate it.
void setImage(tesseract::TessBaseAPI& engine, const Raster& image, double resolution = 0) {
    const LeptonicaImage::Image pix = LeptonicaImage::fromRaster(image);
    if (!pix) {
        throw PlatformError("There is not enough memory to hand the page to Tesseract.");
    }
    engine.SetImage(pix.get()); // Tesseract keeps its own copy
    if (resolution > 0) {
        engine.SetSourceResolution(int(std::lround(resolution)));
    }
}

// The height in pixels of the middle one of the text lines that layout analysis finds on the
// image set on the engine; 0 without lines.
double medianLineHeight(tesseract::TessBaseAPI& engine) {
    std::unique_ptr<tesseract::PageIterator> line(engine.AnalyseLayout());
    std::vector<int> heights;
    if (line) {
        do {
            int left = 0, top = 0, right = 0, bottom = 0;
            if (line->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) {
                heights.push_back(bottom - top);
            }
        } while (line->Next(tesseract::RIL_TEXTLINE));
    }
    if (heights.empty()) {
        return 0;
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

// Sets on the engine the image that the level reads, and gives it back: the page itself, or for the
// fast level a reduced copy, unless the copy's lines would come out too small to read.
Raster setImageToRead(tesseract::TessBaseAPI& engine, const Raster& bitmap, OCRRecognitionLevel level) {
    if (level != OCRRecognitionLevel::fast) {
        setImage(engine, bitmap);
        return bitmap;
    }
    const Raster reduced = shrunkTo(bitmap, fastLongSide);
    setImage(engine, reduced);
    const double lineHeight = medianLineHeight(engine); // recognition goes on from this layout
    if (lineHeight <= 0 || lineHeight >= smallestFastLineHeight || reduced.size() == bitmap.size()) {
        return reduced;
    }
    const Raster larger = shrunkTo(bitmap, fastLongSide * fastLineHeight / lineHeight);
    setImage(engine, larger);
    return larger;
}

// Detection only matters when the detected script could change the languages.
bool detectionCanMatter(const OCROptions& options, const QStringList& supported) {
    const QStringList undetected = TesseractOCRService::recognitionLanguages(options, supported);
    for (const auto& tag : supported) {
        for (const auto& script : scriptsOf(tag)) {
            if (TesseractOCRService::recognitionLanguages(options, supported, script) != undetected) {
                return true;
            }
        }
    }
    return false;
}

// Tesseract reads sideways blocks and vertical lines by turning them itself. Lines read that way
// must not look like well-read horizontal text, or a sideways page would never be turned upright:
// they keep their text and box but get confidence 0. The block's orientation and writing
// direction say how Tesseract read it; a line of several characters whose box is taller than wide
// was read along a vertical line even where those two say nothing.
bool wasReadSideways(const tesseract::ResultIterator& line, const QString& text, int width, int height) {
    tesseract::Orientation orientation = tesseract::ORIENTATION_PAGE_UP;
    tesseract::WritingDirection direction = tesseract::WRITING_DIRECTION_LEFT_TO_RIGHT;
    tesseract::TextlineOrder order = tesseract::TEXTLINE_ORDER_TOP_TO_BOTTOM;
    float deskew = 0;
    line.Orientation(&orientation, &direction, &order, &deskew);
    if (orientation != tesseract::ORIENTATION_PAGE_UP ||
        direction == tesseract::WRITING_DIRECTION_TOP_TO_BOTTOM) {
        return true;
    }
    const qsizetype characters =
        std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
    return characters >= 3 && height > width;
}

// Tesseract's boxes are in pixels with y growing downwards; ours are normalised and grow upwards
// from the bottom edge.
Rect normalised(const QRect& pixels, double width, double height) {
    return {pixels.x() / width, 1 - (pixels.y() + pixels.height()) / height, pixels.width() / width,
            pixels.height() / height};
}

// Tesseract's box of the iterator's current element at `level`; empty when it has none.
QRect boxAt(const tesseract::PageIterator& it, tesseract::PageIteratorLevel level) {
    int left = 0, top = 0, right = 0, bottom = 0;
    return it.BoundingBox(level, &left, &top, &right, &bottom)
               ? QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))
               : QRect();
}

// A gap this many times the line's height parts a table's columns or a form's fields. Word spaces
// stay below it: in print about a third of the height, on a typewriter up to 1.2 (and two of them
// after a full stop).
constexpr double widestWordSpace = 2.5;

// The line's text: its words with a space only where Tesseract read one, as its own text output
// keeps them for Chinese and Japanese. Its line text puts a space between every two words it told
// apart, and in these scripts a "word" is often one character: "2022年3月" came back as
// "2022 年 3 月", which a search for the text as written does not find.
// Where a wide gap parts two words, the line gets spans, each with the box of its words.
void readWords(const tesseract::LTRResultIterator& lineStart, int lineHeight, double width, double height,
               OCRLine& line) {
    std::vector<std::pair<qsizetype, QRect>> spans;
    tesseract::LTRResultIterator word(lineStart);
    do {
        std::unique_ptr<char[]> utf8(word.GetUTF8Text(tesseract::RIL_WORD));
        const QRect box = boxAt(word, tesseract::RIL_WORD);
        if (!utf8 || box.isEmpty()) {
            continue;
        }
        if (!line.text.isEmpty() && word.BlanksBeforeWord() > 0) {
            line.text += QLatin1Char(' ');
        }
        if (spans.empty() || box.left() - spans.back().second.right() > widestWordSpace * lineHeight) {
            spans.emplace_back(spans.empty() ? 0 : line.text.size(), box);
        } else {
            spans.back().second |= box;
        }
        line.text += QString::fromUtf8(utf8.get());
    } while (word.Next(tesseract::RIL_WORD) && !word.IsAtBeginningOf(tesseract::RIL_TEXTLINE));
    if (spans.size() > 1) {
        for (const auto& [start, box] : spans) {
            line.spans.push_back({start, normalised(box, width, height)});
        }
    }
}

std::vector<OCRLine> readLines(tesseract::TessBaseAPI& engine, int imageWidth, int imageHeight) {
    std::vector<OCRLine> lines;
    std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
    if (!it) {
        return lines;
    }
    const double width = imageWidth, height = imageHeight;
    do {
        const QRect box = boxAt(*it, tesseract::RIL_TEXTLINE);
        if (it->Empty(tesseract::RIL_WORD) || box.isEmpty()) {
            continue; // a block without text, such as a picture
        }
        OCRLine line;
        // The reading-order iterator's own text works the line's bidirectional order out again
        // for every word (50 ms on a letter page); every catalog language is written left to
        // right, where the left-to-right order is that order.
        readWords(*it, box.height(), width, height, line);
        // Specks on pictures and maps come back as lines of spaces: nothing to find, yet they
        // would lay wide blank spans over the page and count towards the confidence.
        if (line.text.trimmed().isEmpty()) {
            continue;
        }
        line.boundingBox = normalised(box, width, height);
        const float confidence = it->Confidence(tesseract::RIL_TEXTLINE) / 100.0f;
        line.confidence = confidence > 0 ? std::min(confidence, 1.0f) : 0.0f;
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        if (it->Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2) && (x1 != x2 || y1 != y2)) {
            line.angle = std::atan2(-(y2 - y1) / height, (x2 - x1) / width);
        }
        if (wasReadSideways(*it, line.text, box.width(), box.height())) {
            line.confidence = 0;
        }
        lines.push_back(std::move(line));
    } while (it->Next(tesseract::RIL_TEXTLINE));
    return lines;
}

// Tesseract's dictionaries hold single words: a custom phrase contributes each of its words.
QStringList userWords(const QStringList& customWords) {
    QStringList words;
    QSet<QString> seen;
    for (const auto& entry : customWords) {
        for (const auto& word : entry.simplified().split(' ', Qt::SkipEmptyParts)) {
            if (!seen.contains(word)) {
                seen.insert(word);
                words << word;
            }
        }
    }
    return words;
}

// The engine that reads `languages` (catalog tags) with the job's dictionaries and words.
TesseractEngineKey engineKey(const OCROptions& options, const QStringList& languages) {
    return {TesseractOCRService::tesseractLanguages(languages), options.usesLanguageCorrection,
            userWords(options.customWords)};
}

// Tesseract takes 8-bit grey, RGB or RGBA pixels.
bool isReadable(const Raster& bitmap) {
    return bitmap.depth() == CV_8U &&
           (bitmap.channels() == 1 || bitmap.channels() == 3 || bitmap.channels() == 4);
}

void checkPixelFormat(const Raster& bitmap) {
    if (!isReadable(bitmap)) {
        throw PlatformError(
            QString("The page bitmap has a pixel format Tesseract cannot read (%1 channels of "
                    "depth %2).")
                .arg(bitmap.channels())
                .arg(bitmap.depth()));
    }
}

} // namespace

std::vector<OCRLine> TesseractOCRService::recognize(const Raster& bitmap, const OCROptions& options) const {
    if (bitmap.empty()) {
        return {};
    }
    checkPixelFormat(bitmap);

    const QStringList supported = supportedLanguages();
    QString script;
    if (options.automaticallyDetectsLanguage && detectionCanMatter(options, supported)) {
        script = detectScript(bitmap);
    }
    auto lease = TesseractEnginePool::shared().borrow(engineKey(options, recognitionLanguages(options, supported, script)));

    const Raster image = setImageToRead(lease.engine(), bitmap, options.recognitionLevel);
    lease.engine().SetVariable("tessedit_do_invert", invertedRetry(options.recognitionLevel));
    if (!lease.recognize()) {
        lease.engine().Clear();
        throw PlatformError("Tesseract could not recognise the page.");
    }
    auto lines = readLines(lease.engine(), image.cols, image.rows);
    auto missed = MissedText::find(image, lines);
    const double resolution = missed.resolutionToReadAgain;
    if (resolution > 0) {
        setImage(lease.engine(), image, resolution);
        if (lease.recognize()) {
            auto again = readLines(lease.engine(), image.cols, image.rows);
            if (MissedText::wellReadCharacters(again) > MissedText::wellReadCharacters(lines)) {
                lines = std::move(again);
                missed = MissedText::find(image, lines);
            }
        }
    }
    for (const QRect& region : missed.regionsToReadAgain) {
        setImage(lease.engine(), image(cv::Rect(region.x(), region.y(), region.width(), region.height())),
                 resolution);
        lease.engine().SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
        const bool read = lease.recognize();
        lease.engine().SetPageSegMode(tesseract::PSM_AUTO);
        if (read) {
            MissedText::replaceWithinRegion(lines, region, {image.cols, image.rows},
                                            readLines(lease.engine(), region.width(), region.height()));
        }
    }
    lease.engine().Clear(); // the page's pixels and results are not kept with the idle engine
    CutFigures::join(lines);
    return lines;
}

namespace {

// Grey levels under this count as the dark surround of a scan.
constexpr double darkSurroundLevel = 96;

struct OrientationAndScript {
    int degrees = 0; // how far the text is turned, counter-clockwise
    float orientationConfidence = 0;
    QString script;
};

// Tesseract's orientation and script detection on the characters it finds first; nothing when
// the detection model cannot be used.
std::optional<OrientationAndScript> detectOrientationAndScript(const Raster& image, int characters) {
    if (image.empty() || !isReadable(image) || !TesseractEnginePool::isInstalled("osd")) {
        return std::nullopt;
    }
    try {
        auto lease = TesseractEnginePool::shared().borrow({"osd", false, {}});
        lease.engine().SetVariable("min_characters_to_try", std::to_string(characters).c_str());
        setImage(lease.engine(), image);
        int degrees = 0;
        float orientationConfidence = 0, scriptConfidence = 0;
        const char* script = nullptr;
        const bool found = lease.engine().DetectOrientationScript(&degrees, &orientationConfidence, &script,
                                                                  &scriptConfidence);
        lease.engine().Clear();
        if (!found) {
            return std::nullopt;
        }
        return OrientationAndScript{degrees, orientationConfidence, script ? QString::fromLatin1(script) : QString()};
    } catch (const PlatformError&) {
        return std::nullopt;
    }
}

// The page with the dark surround of a scan (a scanner's open lid, the table under a photographed
// page) turned white: orientation detection takes the page's edge against it for characters, and
// guessed upright pages of 10-point serif upside down at confidences up to 2.9.
Raster withoutDarkSurround(const Raster& bitmap) {
    try {
        cv::Mat grey;
        if (bitmap.channels() == 1) {
            grey = bitmap.clone();
        } else {
            cv::cvtColor(bitmap, grey, cv::COLOR_RGB2GRAY);
        }
        // Framed in dark, every dark part that reaches the image's edge is reached by one fill.
        cv::Mat dark;
        cv::threshold(grey, dark, darkSurroundLevel, 255, cv::THRESH_BINARY_INV);
        cv::copyMakeBorder(dark, dark, 1, 1, 1, 1, cv::BORDER_CONSTANT, cv::Scalar(255));
        cv::floodFill(dark, cv::Point(0, 0), cv::Scalar(128), nullptr, cv::Scalar(), cv::Scalar(), 8);
        grey.setTo(255, dark(cv::Rect(1, 1, grey.cols, grey.rows)) == 128);
        return grey;
    } catch (const cv::Exception&) {
        return bitmap;
    } catch (const std::bad_alloc&) {
        return bitmap;
    }
}

OrientationGuess guessOrientation(const Raster& bitmap, int characters) {
    const auto detected = detectOrientationAndScript(withoutDarkSurround(bitmap), characters);
    if (!detected) {
        return {};
    }
    const int quarterTurns = ((detected->degrees / 90) % 4 + 4) % 4;
    return {(4 - quarterTurns) % 4, double(std::max(detected->orientationConfidence, 0.0f))};
}

// Tesseract's own default: enough characters to tell scripts apart.
constexpr int scriptDetectionCharacters = 50;

// Telling the four orientations apart needs fewer characters than telling scripts apart; 15 take
// half the time of Tesseract's default 50 (about 0.15 s against 0.3 s on a letter page's
// 2400-pixel copy). How far its guesses are trusted is measured in PageOrientation.h.
constexpr int orientationCharacters = 15;

} // namespace

// Detection only helps to choose languages: when its model cannot be used the page is read as
// without detection.
QString TesseractOCRService::detectScript(const Raster& bitmap) {
    const auto detected = detectOrientationAndScript(shrunkTo(bitmap, scriptDetectionLongSide), scriptDetectionCharacters);
    return detected ? detected->script : QString();
}

OrientationGuess TesseractOCRService::detectOrientation(const Raster& bitmap) const {
    return guessOrientation(bitmap, orientationCharacters);
}

OrientationGuess TesseractOCRService::detectOrientationClosely(const Raster& bitmap) const {
    return guessOrientation(bitmap, scriptDetectionCharacters);
}

std::optional<OCROptions> TesseractOCRService::ledByTextLanguage(const std::vector<OCRLine>& lines,
                                                                const OCROptions& options) const {
    if (!options.automaticallyDetectsLanguage) {
        return std::nullopt;
    }
    QStringList texts;
    for (const auto& line : lines) {
        texts << line.text;
    }
    const QStringList supported = supportedLanguages();
    const QStringList identified = LanguageIdentifier::languagesOf(texts.join(QLatin1Char('\n')));
    if (identified.isEmpty() || !supported.contains(identified.first())) {
        return std::nullopt;
    }
    QStringList pageLanguages;
    for (const auto& tag : identified) {
        if (supported.contains(tag)) {
            pageLanguages << tag;
        }
    }
    // Text that could be identified was read in that language's script, and script detection
    // found it so.
    const QString script = scriptsOf(pageLanguages.first()).first();
    if (recognitionLanguages(options, supported, script).first() == pageLanguages.first()) {
        return std::nullopt;
    }
    // Measured on pages in one language, that language alone reads accents best (French first
    // among the four default languages still misread "âtre"); a page in two is read with both.
    OCROptions led = options;
    led.languages = pageLanguages;
    led.automaticallyDetectsLanguage = false;
    return led;
}

void TesseractOCRService::prepare(const OCROptions& options) const {
    try {
        if (options.autoRotate || options.automaticallyDetectsLanguage) {
            if (TesseractEnginePool::isInstalled("osd")) {
                TesseractEnginePool::shared().borrow({"osd", false, {}}); // given back at once, ready
            }
        }
        TesseractEnginePool::shared().borrow(engineKey(options, recognitionLanguages(options, supportedLanguages())));
    } catch (const PlatformError&) {
        // The recognition that needs the engine reports the same failure to the user.
    }
}

QStringList TesseractOCRService::supportedLanguages() {
    QStringList tags;
    for (const auto& language : OCRLanguageCatalog::languages()) {
        if (TesseractEnginePool::isInstalled(TesseractEnginePool::tesseractCode(language.tag))) {
            tags << language.tag;
        }
    }
    return tags;
}

QStringList TesseractOCRService::recognitionLanguages(const OCROptions& options, const QStringList& supported,
                                                      const QString& detectedScript) {
    QStringList chosen;
    for (const auto& tag : options.effectiveLanguages()) {
        if (supported.contains(tag) && !chosen.contains(tag)) {
            chosen << tag;
        }
    }
    if (!detectedScript.isEmpty()) {
        QStringList inScript;
        for (const auto& tag : chosen + supported) {
            if (isWrittenIn(tag, detectedScript) && !inScript.contains(tag)) {
                inScript << tag;
            }
        }
        if (!inScript.isEmpty()) {
            return inScript;
        }
    }
    return chosen.isEmpty() ? QStringList{"en-US"} : chosen;
}

QString TesseractOCRService::tesseractLanguages(const QStringList& tags) {
    QStringList codes;
    for (const auto& tag : tags) {
        codes << TesseractEnginePool::tesseractCode(tag);
    }
    return codes.join('+');
}

} // namespace quorvane
