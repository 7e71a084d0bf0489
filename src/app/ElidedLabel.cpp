#include "app/ElidedLabel.h"

#include <QResizeEvent>

namespace quorvane {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    m_fullText = text;
    setToolTip(text);
    updateGeometry();
    elide();
}

// The whole text's width, so that a layout with room to spare shows all of it.
QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(m_fullText) + margins.left() + margins.right(), QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, contentsRect().width()));
}

} // namespace quorvane
