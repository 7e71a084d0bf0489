#include "RasterFixtures.h"

#include "TestSupport.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <opencv2/imgproc.hpp>

namespace quorvane::test {

Raster rasterFromImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) {
        return {};
    }
    return Raster(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()), rgb.bytesPerLine())
        .clone();
}

Raster corpusRaster(const QString& name) {
    return rasterFromImage(QImage(corpusPath(name)));
}

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

} // namespace quorvane::test
