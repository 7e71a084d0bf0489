#include "support/RasterFixtures.h"

#include "support/TestSupport.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <opencv2/imgproc.hpp>

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
    const QImage view(raster.data, raster.cols, raster.rows, int(raster.step), QImage::Format_RGB888);
    return view.copy();
}

Raster loadRaster(const QString& path) { return rasterFromImage(QImage(path)); }

Raster corpusRaster(const QString& name) { return loadRaster(corpusPath(name)); }

DrawnPage drawTextPage(const QStringList& lines, int width, int height, int pixelSize) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QFont font("DejaVu Serif");
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    DrawnPage page;
    int baseline = pixelSize * 2;
    for (const auto& text : lines) {
        const QRect ink = metrics.tightBoundingRect(text).translated(pixelSize, baseline);
        painter.drawText(pixelSize, baseline, text);
        page.lineRects.push_back(
            {double(ink.x()), double(ink.y()), double(ink.width()), double(ink.height())});
        baseline += pixelSize * 2;
    }
    painter.end();
    page.raster = rasterFromImage(image);
    return page;
}

QImage textPage(const QStringList& lines, int width, int height, int pixelSize) {
    QImage page(width, height, QImage::Format_RGB888);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int margin = pixelSize * 3;
    int baseline = margin + pixelSize;
    for (const auto& line : lines) {
        painter.drawText(margin, baseline, line);
        baseline += pixelSize * 2;
    }
    return page;
}

double inkShare(const Raster& raster, const Rect& pixels) {
    const cv::Rect area = cv::Rect(int(pixels.x), int(pixels.y), int(pixels.width), int(pixels.height)) &
                          cv::Rect(0, 0, raster.cols, raster.rows);
    if (area.area() == 0) {
        return 0;
    }
    cv::Mat grey;
    cv::cvtColor(raster(area), grey, cv::COLOR_RGB2GRAY);
    return double(cv::countNonZero(grey < 128)) / area.area();
}

double meanDarkness(const Raster& raster, const QRect& area) {
    cv::Mat grey;
    cv::cvtColor(raster(cv::Rect(area.x(), area.y(), area.width(), area.height())), grey, cv::COLOR_RGB2GRAY);
    return 255.0 - cv::mean(grey)[0];
}

} // namespace quorvane::test
