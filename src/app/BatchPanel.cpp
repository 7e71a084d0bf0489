#include "app/BatchPanel.h"

#include "app/BatchListModel.h"
#include "jobs/BatchCoordinator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace quorvane {

namespace {

// Status lines wrap instead of being cut: a failure's reason is often longer than the row is wide,
// and the row is the only place in the window that shows it.
constexpr int wrapping = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
constexpr int horizontalPadding = 8;
constexpr int symbolColumn = 26;

int wrappedHeight(const QFont& font, const QString& text, int width) {
    const QFontMetrics metrics(font);
    return std::max(metrics.height(), metrics.boundingRect(QRect(0, 0, width, 0), wrapping, text).height());
}

// The width left for text in a row of the list that draws `option`.
int textWidth(const QStyleOptionViewItem& option) {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int rowWidth = view ? view->viewport()->width() : option.rect.width();
    return std::max(1, rowWidth - 2 * horizontalPadding - symbolColumn - 1);
}

// A row: the status symbol, the file name, and beneath it the status line (red for a failure)
// and the orange note of a text copy that could not be saved.
class BatchItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Turns the symbol of the rows in progress a step further.
    void advanceSpinner() { m_spinnerDegrees = (m_spinnerDegrees + 30) % 360; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = QIcon();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style) {
            style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
        }

        painter->save();
        const QRect area = option.rect.adjusted(horizontalPadding, 4, -horizontalPadding, -4);
        const QPixmap symbol = index.data(Qt::DecorationRole).value<QPixmap>();
        const auto kind = static_cast<ItemStatus::Kind>(index.data(BatchListModel::statusKindRole).toInt());
        if (kind == ItemStatus::Kind::processing) {
            painter->save();
            painter->translate(area.left() + 8, area.top() + 10);
            painter->rotate(m_spinnerDegrees);
            painter->drawPixmap(-8, -8, symbol);
            painter->restore();
        } else {
            painter->drawPixmap(area.left(), area.top() + 2, symbol);
        }

        const int textLeft = area.left() + symbolColumn;
        const QRect textArea(textLeft, area.top(), area.right() - textLeft, area.height());
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        QFont nameFont = option.font;
        nameFont.setBold(true);
        painter->setFont(nameFont);
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics nameMetrics(nameFont);
        painter->drawText(textArea.left(), textArea.top() + nameMetrics.ascent(),
                          nameMetrics.elidedText(index.data().toString(), Qt::ElideMiddle, textArea.width()));

        painter->setFont(option.font);
        int top = textArea.top() + nameMetrics.height();
        QColor statusColour = palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
        if (kind == ItemStatus::Kind::failed && !selected) {
            statusColour = QColor(0xc0, 0x20, 0x20);
        }
        const QString status = index.data(BatchListModel::statusTextRole).toString();
        const int statusHeight = wrappedHeight(option.font, status, textArea.width());
        painter->setPen(statusColour);
        painter->drawText(QRect(textArea.left(), top, textArea.width(), statusHeight), wrapping, status);
        const QString note = index.data(BatchListModel::sidecarNoteRole).toString();
        if (!note.isEmpty()) {
            top += statusHeight;
            painter->setPen(QColor(0xd0, 0x70, 0x00));
            const int noteHeight = wrappedHeight(option.font, note, textArea.width());
            painter->drawText(QRect(textArea.left(), top, textArea.width(), noteHeight), wrapping, note);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QFont nameFont = option.font;
        nameFont.setBold(true);
        const int width = textWidth(option);
        int height = QFontMetrics(nameFont).height() + 8;
        height += wrappedHeight(option.font, index.data(BatchListModel::statusTextRole).toString(), width);
        const QString note = index.data(BatchListModel::sidecarNoteRole).toString();
        if (!note.isEmpty()) {
            height += wrappedHeight(option.font, note, width);
        }
        return {200, height};
    }

private:
    int m_spinnerDegrees = 0;
};

} // namespace

BatchPanel::BatchPanel(BatchCoordinator& batch, QWidget* parent) : QWidget(parent), m_batch(batch) {
    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("batchHeader"));
    QFont headerFont = m_header->font();
    headerFont.setBold(true);
    m_header->setFont(headerFont);

    m_model = new BatchListModel(this);
    m_list = new QListView(this);
    m_list->setModel(m_model);
    auto* delegate = new BatchItemDelegate(m_list);
    m_list->setItemDelegate(delegate);
    m_spinner.setInterval(100);
    connect(&m_spinner, &QTimer::timeout, this, [this, delegate] {
        delegate->advanceSpinner();
        m_list->viewport()->update();
    });
    m_list->setUniformItemSizes(false);
    m_list->setResizeMode(QListView::Adjust); // rows grow and shrink with their wrapped lines
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setAlternatingRowColors(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListView::customContextMenuRequested, this, [this](const QPoint& where) {
        const QModelIndex index = m_list->indexAt(where);
        if (!index.isValid()) {
            return;
        }
        QMenu menu;
        menu.addAction(QStringLiteral("Preview…"), this, [this, row = index.row()] { previewRow(row); });
        menu.exec(m_list->viewport()->mapToGlobal(where));
    });
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex& index) { previewRow(index.row()); });

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_showOutputs = new QPushButton(QStringLiteral("Show outputs in file manager"), this);
    m_export = new QPushButton(QStringLiteral("Export Report\u2026"), this);
    m_retry = new QPushButton(QStringLiteral("Retry Failed"), this);
    connect(m_cancel, &QPushButton::clicked, &m_batch, &BatchCoordinator::cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancel->setEnabled(false); });
    connect(m_clear, &QPushButton::clicked, &m_batch, &BatchCoordinator::clear);
    connect(m_retry, &QPushButton::clicked, &m_batch, &BatchCoordinator::retryFailed);
    connect(m_showOutputs, &QPushButton::clicked, this, &BatchPanel::showOutputsRequested);
    connect(m_export, &QPushButton::clicked, this, &BatchPanel::exportReportRequested);

    auto* top = new QHBoxLayout;
    top->addWidget(m_header, 1);
    top->addWidget(m_cancel);
    top->addWidget(m_clear);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_showOutputs);
    bottom->addStretch();
    bottom->addWidget(m_retry);
    bottom->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(&m_batch, &BatchCoordinator::itemsChanged, this, [this] {
        m_model->setItems(m_batch.items());
        refresh();
    });
    connect(&m_batch, &BatchCoordinator::itemChanged, this, [this, delegate](int index) {
        m_model->setItem(index, m_batch.items().value(index));
        // A new status may take more or fewer lines; the list lays its rows out again.
        Q_EMIT delegate->sizeHintChanged(m_model->index(index));
        refresh();
    });
    connect(&m_batch, &BatchCoordinator::isRunningChanged, this, [this](bool running) {
        m_cancel->setEnabled(running);
        if (running) {
            m_spinner.start();
        } else {
            m_spinner.stop();
        }
        refresh();
    });
    m_model->setItems(m_batch.items());
    refresh();
}

void BatchPanel::previewRow(int row) {
    const QString file = m_model->index(row).data(BatchListModel::sourceRole).toString();
    if (!file.isEmpty()) {
        Q_EMIT previewRequested(file);
    }
}

void BatchPanel::refresh() {
    const bool running = m_batch.isRunning();
    setVisible(!m_batch.items().isEmpty());
    m_header->setText(m_batch.headerText());
    m_cancel->setVisible(running);
    m_clear->setVisible(!running);
    m_showOutputs->setVisible(!m_batch.outputURLs().isEmpty());
    m_export->setVisible(m_batch.completedCount() > 0);
    m_retry->setVisible(m_batch.failedCount() > 0);
    m_retry->setEnabled(!running);
}

} // namespace quorvane
