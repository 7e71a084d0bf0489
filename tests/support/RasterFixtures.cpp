#include "support/RasterFixtures.h"

#include <QFont>
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

double meanDarkness(const Raster& raster, const QRect& area) {
    cv::Mat grey;
    cv::cvtColor(raster(cv::Rect(area.x(), area.y(), area.width(), area.height())), grey, cv::COLOR_RGB2GRAY);
    return 255.0 - cv::mean(grey)[0];
}

} // namespace quorvane::test
