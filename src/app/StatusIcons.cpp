#include "app/StatusIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace quorvane::StatusIcons {

namespace {

const QColor green(0x2e, 0x9e, 0x44);
const QColor red(0xd0, 0x2c, 0x2c);
const QColor blue(0x2f, 0x6f, 0xd0);
const QColor grey(0x80, 0x80, 0x80);
const QColor orange(0xe0, 0x8a, 0x00);

// Draws in a 16 x 16 box.
void draw(QPainter& painter, Symbol symbol) {
    const QPen stroke(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (symbol) {
    case Symbol::clock:
        painter.setPen(QPen(grey, 1.5));
        painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        painter.drawPolyline(QPolygonF({QPointF(8, 4), QPointF(8, 8), QPointF(11, 10)}));
        break;
    case Symbol::progress:
        painter.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 2.2));
        painter.drawEllipse(QRectF(2, 2, 12, 12));
        painter.setPen(QPen(blue, 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(2, 2, 12, 12), 90 * 16, -120 * 16);
        break;
    case Symbol::checkmark:
    case Symbol::sealed: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(green);
        if (symbol == Symbol::sealed) {
            // A rosette: the seal of a document that needed nothing.
            QPolygonF rosette;
            for (int point = 0; point < 24; ++point) {
                const double angle = point * M_PI / 12;
                const double radius = point % 2 == 0 ? 7.8 : 6.6;
                rosette << QPointF(8 + radius * std::cos(angle), 8 + radius * std::sin(angle));
            }
            painter.drawPolygon(rosette);
        } else {
            painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        }
        painter.setPen(stroke);
        painter.drawPolyline(QPolygonF({QPointF(4.5, 8.3), QPointF(7, 10.8), QPointF(11.5, 5.5)}));
        break;
    }
    case Symbol::failure: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(red);
        QPolygonF octagon;
        for (int corner = 0; corner < 8; ++corner) {
            const double angle = M_PI / 8 + corner * M_PI / 4;
            octagon << QPointF(8 + 7.8 * std::cos(angle), 8 + 7.8 * std::sin(angle));
        }
        painter.drawPolygon(octagon);
        painter.setPen(stroke);
        painter.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
        painter.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
        break;
    }
    case Symbol::skipped: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        painter.setPen(stroke);
        painter.setBrush(Qt::NoBrush);
        QPainterPath arrow;
        arrow.moveTo(4.5, 11);
        arrow.cubicTo(4.5, 6, 8, 5, 11.5, 6.5);
        painter.drawPath(arrow);
        painter.drawPolyline(QPolygonF({QPointF(9, 4), QPointF(11.5, 6.5), QPointF(9, 9)}));
        break;
    }
    case Symbol::cancelled:
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        painter.setPen(stroke);
        painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        break;
    case Symbol::eye: {
        painter.setPen(QPen(grey, 1.4));
        QPainterPath lids;
        lids.moveTo(1, 8);
        lids.quadTo(8, 0.5, 15, 8);
        lids.quadTo(8, 15.5, 1, 8);
        painter.drawPath(lids);
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawEllipse(QPointF(8, 8), 2.6, 2.6);
        break;
    }
    case Symbol::warning:
        painter.setPen(QPen(orange, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(orange);
        painter.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15.2, 14.5), QPointF(0.8, 14.5)}));
        painter.setPen(stroke);
        painter.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
        painter.drawPoint(QPointF(8, 12.2));
        break;
    case Symbol::play:
        painter.setPen(Qt::NoPen);
        painter.setBrush(green);
        painter.drawPolygon(QPolygonF({QPointF(3.5, 1.5), QPointF(14, 8), QPointF(3.5, 14.5)}));
        break;
    }
}

} // namespace

QPixmap pixmap(Symbol symbol, int size, qreal devicePixelRatio) {
    QPixmap result(QSize(size, size) * devicePixelRatio);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter, symbol);
    return result;
}

} // namespace quorvane::StatusIcons
