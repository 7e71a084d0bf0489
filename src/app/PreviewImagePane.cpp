#include "app/PreviewImagePane.h"

#include "corrections/OCRRegion.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace quorvane {

namespace {

QImage imageFromRaster(const Raster& raster) {
    if (raster.empty()) {
        return {};
    }
    const auto format = raster.channels() == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    return QImage(raster.data, raster.cols, raster.rows, static_cast<qsizetype>(raster.step), format).copy();
}

QRectF toQt(const Rect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

} // namespace

PreviewImagePane::PreviewImagePane(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PreviewImagePane::setImage(const std::optional<Raster>& raster) {
    m_image = raster ? imageFromRaster(*raster) : QImage();
    m_shownImage = QImage();
    update();
}

void PreviewImagePane::setRegion(const std::optional<Rect>& region) {
    m_region = region;
    update();
}

void PreviewImagePane::setDrawingEnabled(bool enabled) {
    m_drawingEnabled = enabled;
    m_dragStart.reset();
    m_dragCurrent.reset();
    setCursor(enabled ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
}

Rect PreviewImagePane::imageRect() const {
    if (m_image.isNull()) {
        return {};
    }
    return OCRRegion::imageRect({double(m_image.width()), double(m_image.height())}, {double(width()), double(height())},
                                inset);
}

void PreviewImagePane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid).lighter(130));
    const Rect shown = imageRect();
    if (m_image.isNull() || shown.isEmpty()) {
        return;
    }
    // The painter samples a page it draws four times smaller, and its lines of text turn to streaks:
    // a copy reduced by averaging is drawn instead.
    const double ratio = devicePixelRatioF();
    const QSize pixels = (toQt(shown).size() * ratio).toSize();
    if (m_shownImage.size() != pixels) {
        m_shownImage = m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_shownImage.setDevicePixelRatio(ratio);
    }
    // On whole device pixels, so that the copy is drawn as it is, not resampled once more.
    painter.drawImage(QPointF(std::round(shown.x * ratio) / ratio, std::round(shown.y * ratio) / ratio),
                      m_shownImage);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    if (m_region && m_drawingEnabled) {
        QColor fill = accent;
        fill.setAlphaF(0.18f);
        painter.setPen(QPen(accent, 1.5));
        painter.setBrush(fill);
        painter.drawRect(toQt(OCRRegion::viewRect(*m_region, shown)));
    }
    if (m_dragStart && m_dragCurrent) {
        painter.setPen(QPen(accent, 1.5, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(*m_dragStart, *m_dragCurrent).normalized());
    }
}

void PreviewImagePane::mousePressEvent(QMouseEvent* event) {
    if (!m_drawingEnabled || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragStart = event->position();
    m_dragCurrent = event->position();
    update();
}

void PreviewImagePane::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragStart) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_dragCurrent = event->position();
    update();
}

void PreviewImagePane::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragStart) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF start = *m_dragStart;
    m_dragStart.reset();
    m_dragCurrent.reset();
    update();
    Q_EMIT regionDrawn(OCRRegion::regionFromDrag({start.x(), start.y()},
                                                 {event->position().x(), event->position().y()}, imageRect()));
}

} // namespace quorvane
