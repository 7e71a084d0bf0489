#pragma once

// A page image shown whole (aspect fit, inset on every side). With drawing on, the user drags out
// a region over it; a region is drawn over the image in the accent colour.

#include "core/Geometry.h"
#include "core/Raster.h"

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <optional>

namespace quorvane {

class PreviewImagePane : public QWidget {
    Q_OBJECT

public:
    static constexpr double inset = 8;

    explicit PreviewImagePane(QWidget* parent = nullptr);

    void setImage(const std::optional<Raster>& raster);
    void setRegion(const std::optional<Rect>& region);
    void setDrawingEnabled(bool enabled);

    // Where the image is shown, in this widget's coordinates; empty without an image.
    Rect imageRect() const;

    QSize sizeHint() const override { return {320, 420}; }

Q_SIGNALS:
    // A drag ended: the region it selected (normalised, origin bottom left), whatever its size.
    void regionDrawn(const quorvane::Rect& region);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_image;
    QImage m_shownImage; // m_image at the size it is shown
    std::optional<Rect> m_region;
    bool m_drawingEnabled = false;
    std::optional<QPointF> m_dragStart;
    std::optional<QPointF> m_dragCurrent;
};

} // namespace quorvane
