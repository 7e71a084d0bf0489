#include "support/RasterFixtures.h"

#include "support/TestSupport.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace quorvane::test {

Raster rasterFromImage(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                       std::size_t(rgb.bytesPerLine()));
    return view.clone();
}

QImage imageFromRaster(const Raster& raster) {
    const QImage view(raster.data, raster.cols, raster.rows, int(raster.step),
                      raster.channels() == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    return view.copy();
}

cv::Mat greyLevels(const Raster& raster) {
    if (raster.channels() == 1) {
        return raster;
    }
    cv::Mat grey;
    cv::cvtColor(raster, grey, cv::COLOR_RGB2GRAY);
    return grey;
}

Raster corpusRaster(const QString& name) { return rasterFromImage(QImage(corpusPath(name))); }

DrawnPage drawTextPage(const QStringList& lines, int width, int height, int pixelSize, int margins) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QFont font("DejaVu Serif");
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    DrawnPage page;
    const int margin = pixelSize * margins;
    int baseline = margin + pixelSize;
    for (const auto& text : lines) {
        const QRect ink = metrics.tightBoundingRect(text).translated(margin, baseline);
        painter.drawText(margin, baseline, text);
        page.lineRects.push_back(
            {double(ink.x()), double(ink.y()), double(ink.width()), double(ink.height())});
        baseline += pixelSize * 2;
    }
    painter.end();
    page.raster = rasterFromImage(image);
    return page;
}

QImage renderWords(QSize size, const QList<Word>& words) {
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    for (const auto& word : words) {
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(std::max(word.pixels.height(), 4));
        painter.setFont(font);
        painter.drawText(word.pixels, Qt::AlignLeft | Qt::AlignVCenter, word.text);
    }
    return image;
}

QImage renderParagraph(QSize size, const QStringList& lines, int pixelHeight) {
    QList<Word> words;
    int y = pixelHeight * 2;
    for (const auto& line : lines) {
        words.append({QRect(pixelHeight * 2, y, size.width() - pixelHeight * 4, pixelHeight), line});
        y += pixelHeight * 2;
    }
    return renderWords(size, words);
}

const QStringList proseLines = {
    QStringLiteral("The harbour committee met on a wet Tuesday morning"),
    QStringLiteral("to discuss repairs to the northern wall and landing."),
    QStringLiteral("Winter storms had damaged the old timber supports,"),
    QStringLiteral("and the fishing boats could no longer unload safely."),
    QStringLiteral("After a long debate the chairman proposed that both"),
    QStringLiteral("projects begin in spring, the wall receiving priority."),
    QStringLiteral("The engineer expected the work to take eleven months"),
    QStringLiteral("and to need forty labourers, two cranes and a barge."),
    QStringLiteral("Residents welcomed the plan but asked for quiet hours"),
    QStringLiteral("near the school, the library and the small hospital."),
    QStringLiteral("The treasurer promised a detailed budget next month,"),
    QStringLiteral("and the meeting closed shortly after eleven o'clock."),
};

Raster proseSheet() {
    QImage image(1275, 1650, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < proseLines.size(); ++i) {
        painter.drawText(80, 150 + i * 122, proseLines[i]);
    }
    painter.end();
    return rasterFromImage(image);
}

cv::Rect darkArea(const Raster& raster) {
    return cv::boundingRect(greyLevels(raster) < 128);
}

Raster turnedPage(const Raster& page, int turnsCW) {
    static constexpr cv::RotateFlags flags[] = {cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                                cv::ROTATE_90_COUNTERCLOCKWISE};
    if (turnsCW < 1 || turnsCW > 3) {
        return page.clone();
    }
    Raster turned;
    cv::rotate(page, turned, flags[turnsCW - 1]);
    return turned;
}

Raster tiltedPage(const Raster& page, double degrees) {
    const double radians = degrees * CV_PI / 180;
    const double s = std::abs(std::sin(radians)), c = std::abs(std::cos(radians));
    const cv::Size canvas(int(std::ceil(c * page.cols + s * page.rows)),
                          int(std::ceil(s * page.cols + c * page.rows)));
    cv::Mat transform =
        cv::getRotationMatrix2D(cv::Point2f(page.cols / 2.0f, page.rows / 2.0f), degrees, 1.0);
    transform.at<double>(0, 2) += (canvas.width - page.cols) / 2.0;
    transform.at<double>(1, 2) += (canvas.height - page.rows) / 2.0;
    Raster tilted;
    cv::warpAffine(page, tilted, transform, canvas, cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(255, 255, 255));
    return tilted;
}

Raster keystonedPage(const Raster& page, double narrowing, double drop) {
    const float w = float(page.cols), h = float(page.rows);
    const cv::Point2f corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    const cv::Point2f seen[] = {{float(narrowing) * w, float(drop) * h},
                                {(1 - float(narrowing)) * w, float(drop) * h},
                                {w, h},
                                {0, h}};
    Raster keystoned;
    cv::warpPerspective(page, keystoned, cv::getPerspectiveTransform(corners, seen), page.size(),
                        cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    return keystoned;
}

std::vector<PageVariant> linnVariants() {
    const Raster linn = corpusRaster(QStringLiteral("linn.png"));
    if (linn.empty()) {
        return {};
    }
    std::vector<PageVariant> variants = {{QStringLiteral("upright"), linn}};
    for (double tilt : {1.0, 4.0}) {
        variants.push_back({QStringLiteral("tilted %1 degrees").arg(tilt), tiltedPage(linn, tilt), 0, tilt});
    }
    variants.push_back({QStringLiteral("keystoned"), keystonedPage(linn), 0, 0, true});
    for (int turns : {1, 2, 3}) {
        variants.push_back(
            {QStringLiteral("turned %1 degrees").arg(turns * 90), turnedPage(linn, turns), turns});
    }
    return variants;
}

} // namespace quorvane::test
