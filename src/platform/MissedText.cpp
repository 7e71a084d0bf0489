#include "platform/MissedText.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace quorvane::MissedText {

namespace {

// Junk read along a vertical line has confidence 0; a line read this poorly covers nothing.
constexpr float wellReadConfidence = 0.5f;
// Fewer left-out characters are not worth a second reading; a page whose characters are mostly
// left out was read the wrong way round or is no text at all.
constexpr int fewestMissedCharacters = 3;
constexpr double mostMissedShare = 0.5;
// A page read the wrong way round still yields lines, some of them read at 0.5 or better: its
// characters read at 0.33 to 0.56 on average, against 0.93 and more for upright pages, the
// receipts whose amounts were lost among them. Reading its parts again finds the same junk, at up
// to five times the page's own time.
constexpr double leastPageConfidence = 0.75;
// A page left mostly unread has at least a few words on it.
constexpr int fewestUnreadPageCharacters = 50;
// Ten-point text at 300 DPI has characters about 21 pixels tall, counting small ones.
constexpr double dotsPerCharacterHeight = 14;
// Tesseract believes no resolution outside these.
constexpr double lowestResolution = 70;
constexpr double highestResolution = 2400;

bool isWellRead(const OCRLine& line) {
    return line.confidence >= wellReadConfidence;
}

qsizetype alphanumerics(const QString& text) {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// The confidence of the page's reading, each line weighing as many letters and digits as it holds.
double pageConfidence(const std::vector<OCRLine>& lines) {
    double weighted = 0, characters = 0;
    for (const auto& line : lines) {
        const auto count = double(alphanumerics(line.text));
        weighted += count * line.confidence;
        characters += count;
    }
    return characters > 0 ? weighted / characters : 0;
}

QRect inPixels(const Rect& box, QSize image) {
    const double width = image.width(), height = image.height();
    return QRect(
        QPoint(int(std::floor(box.minX() * width)), int(std::floor((1 - box.maxY()) * height))),
        QPoint(int(std::ceil(box.maxX() * width)) - 1, int(std::ceil((1 - box.minY()) * height)) - 1));
}

// A box normalised to `region` as a box normalised to the whole image.
Rect inImage(const Rect& box, const QRect& region, QSize image) {
    const double width = image.width(), height = image.height();
    return {(region.x() + box.x * region.width()) / width,
            (height - region.y() - region.height() + box.y * region.height()) / height,
            box.width * region.width() / width, box.height * region.height() / height};
}

cv::Mat greyOf(const Raster& image) {
    if (image.channels() == 1) {
        return image;
    }
    cv::Mat grey;
    cv::cvtColor(image, grey, image.channels() == 4 ? cv::COLOR_RGBA2GRAY : cv::COLOR_RGB2GRAY);
    return grey;
}

// Parts of ink about as tall as a line's letters (`lineHeight`, or any plausible height without
// one) and no wider than a few of them; specks, rules and pictures are not.
bool isCharacter(const cv::Rect& box, int lineHeight, int imageHeight) {
    if (lineHeight <= 0) {
        return box.height >= 4 && box.width <= 2 * box.height && box.height <= imageHeight / 8;
    }
    return box.height >= 0.35 * lineHeight && box.height <= 1.3 * lineHeight && box.width <= 1.5 * lineHeight;
}

// When most of the page's characters lie outside every line of any confidence: the resolution
// their height suggests. Otherwise 0.
double resolutionIfMostlyUnread(const std::vector<cv::Rect>& parts, const std::vector<OCRLine>& lines,
                                QSize size) {
    std::vector<QRect> boxes;
    for (const auto& line : lines) {
        boxes.push_back(inPixels(line.boundingBox, size));
    }
    std::vector<int> heights;
    int unread = 0;
    for (const auto& part : parts) {
        if (!isCharacter(part, 0, size.height())) {
            continue;
        }
        heights.push_back(part.height);
        const QPoint centre(part.x + part.width / 2, part.y + part.height / 2);
        if (std::none_of(boxes.begin(), boxes.end(), [&](const QRect& r) { return r.contains(centre); })) {
            ++unread;
        }
    }
    if (unread < fewestUnreadPageCharacters || unread <= mostMissedShare * double(heights.size())) {
        return 0;
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return std::clamp(heights[heights.size() / 2] * dotsPerCharacterHeight, lowestResolution,
                      highestResolution);
}

std::vector<cv::Rect> inkParts(const Raster& image) {
    cv::Mat ink, labels, stats, centroids;
    cv::threshold(greyOf(image), ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<cv::Rect> parts;
    parts.reserve(size_t(std::max(count - 1, 0)));
    for (int i = 1; i < count; ++i) {
        parts.emplace_back(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                           stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
    }
    return parts;
}

std::vector<QRect> regionsIn(const Raster& image, const std::vector<cv::Rect>& parts,
                             const std::vector<OCRLine>& lines) {
    const QSize size(image.cols, image.rows);
    std::vector<QRect> covered;
    std::vector<int> heights;
    for (const auto& line : lines) {
        if (isWellRead(line)) {
            covered.push_back(inPixels(line.boundingBox, size));
            heights.push_back(covered.back().height());
        }
    }
    if (heights.size() < 3 || pageConfidence(lines) < leastPageConfidence) {
        return {};
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const int lineHeight = heights[heights.size() / 2];
    if (lineHeight < 4) {
        return {};
    }

    cv::Mat missed = cv::Mat::zeros(image.rows, image.cols, CV_8U);
    std::vector<cv::Rect> missedCharacters;
    int characters = 0;
    for (const auto& box : parts) {
        if (!isCharacter(box, lineHeight, image.rows)) {
            continue;
        }
        ++characters;
        const QPoint centre(box.x + box.width / 2, box.y + box.height / 2);
        if (std::none_of(covered.begin(), covered.end(),
                         [&](const QRect& r) { return r.contains(centre); })) {
            missedCharacters.push_back(box);
            cv::rectangle(missed, box, cv::Scalar(255), cv::FILLED);
        }
    }
    if (int(missedCharacters.size()) < fewestMissedCharacters ||
        double(missedCharacters.size()) > mostMissedShare * characters) {
        return {};
    }

    // The characters of a line lie within about two lines' height of each other; a column's lost
    // characters can be several lines apart, where the lines between were read well.
    cv::dilate(missed, missed,
               cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * lineHeight, 6 * lineHeight)));
    cv::Mat groups;
    const int groupCount = cv::connectedComponents(missed, groups, 8, CV_32S);
    std::vector<int> charactersIn(size_t(groupCount), 0);
    std::vector<QRect> extents(static_cast<size_t>(groupCount));
    for (const auto& box : missedCharacters) {
        const int group = groups.at<int>(box.y, box.x);
        charactersIn[size_t(group)] += 1;
        extents[size_t(group)] |= QRect(box.x, box.y, box.width, box.height);
    }
    std::vector<QRect> regions;
    const QRect whole(QPoint(0, 0), size);
    for (int group = 1; group < groupCount; ++group) {
        if (charactersIn[size_t(group)] < fewestMissedCharacters) {
            continue;
        }
        // With the lines read next to them, such as the ".86" right of a lost "2".
        const QRect missedHere =
            extents[size_t(group)].adjusted(-lineHeight, -lineHeight / 2, lineHeight, lineHeight / 2);
        const int margin = lineHeight / 2;
        QRect region = missedHere;
        for (const auto& line : lines) {
            const QRect box = inPixels(line.boundingBox, size);
            if (box.intersects(missedHere)) {
                region |= box.adjusted(-margin, -margin, margin, margin);
            }
        }
        regions.push_back(region & whole);
    }
    return regions;
}

} // namespace

// A second reading only adds to the first: when memory is short for the look, the page is as read.
Findings find(const Raster& image, const std::vector<OCRLine>& lines) {
    try {
        const auto parts = inkParts(image);
        if (const double resolution = resolutionIfMostlyUnread(parts, lines, {image.cols, image.rows})) {
            return {resolution, {}};
        }
        return {0, regionsIn(image, parts, lines)};
    } catch (const cv::Exception&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

qsizetype wellReadCharacters(const std::vector<OCRLine>& lines) {
    qsizetype characters = 0;
    for (const auto& line : lines) {
        if (isWellRead(line)) {
            characters += alphanumerics(line.text);
        }
    }
    return characters;
}

void replaceWithinRegion(std::vector<OCRLine>& lines, const QRect& region, QSize image,
                         const std::vector<OCRLine>& readAgain) {
    std::vector<OCRLine> found;
    qsizetype foundCharacters = 0;
    for (const auto& line : readAgain) {
        if (!isWellRead(line) || alphanumerics(line.text) == 0) {
            continue;
        }
        OCRLine placed = line;
        placed.boundingBox = inImage(line.boundingBox, region, image);
        for (auto& span : placed.spans) {
            span.boundingBox = inImage(span.boundingBox, region, image);
        }
        // A slope normalised to the region, normalised to the image instead.
        placed.angle = std::atan2(std::tan(line.angle) * region.height() * image.width(),
                                  double(region.width()) * image.height());
        foundCharacters += alphanumerics(line.text);
        found.push_back(std::move(placed));
    }
    const auto within = [&](const OCRLine& line) {
        return region.contains(inPixels(line.boundingBox, image).center());
    };
    qsizetype keptCharacters = 0;
    for (const auto& line : lines) {
        if (within(line) && isWellRead(line)) {
            keptCharacters += alphanumerics(line.text);
        }
    }
    // A second reading of a picture finds a scrap or two; text left out is worth more.
    if (foundCharacters < keptCharacters + fewestMissedCharacters) {
        return;
    }
    std::erase_if(lines, within);
    lines.insert(lines.end(), found.begin(), found.end());
}

} // namespace quorvane::MissedText
