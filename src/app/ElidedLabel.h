#pragma once

// A one-line label for a long text such as a path: what does not fit is cut from the middle, so
// that both ends stay readable (where the path starts, and the folder's own name), and the whole
// text is its tooltip.

#include <QLabel>

namespace quorvane {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_fullText;
};

} // namespace quorvane
