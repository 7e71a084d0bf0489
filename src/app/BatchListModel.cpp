#include "app/BatchListModel.h"

#include "app/StatusIcons.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace quorvane {

namespace {

StatusIcons::Symbol symbolFor(ItemStatus::Kind kind) {
    switch (kind) {
    case ItemStatus::Kind::pending: return StatusIcons::Symbol::clock;
    case ItemStatus::Kind::processing: return StatusIcons::Symbol::progress;
    case ItemStatus::Kind::done: return StatusIcons::Symbol::checkmark;
    case ItemStatus::Kind::failed: return StatusIcons::Symbol::failure;
    case ItemStatus::Kind::skippedExisting: return StatusIcons::Symbol::skipped;
    case ItemStatus::Kind::cancelled: return StatusIcons::Symbol::cancelled;
    }
    return StatusIcons::Symbol::clock;
}

} // namespace

void BatchListModel::setItems(const QList<BatchItem>& items) {
    beginResetModel();
    m_items = items;
    endResetModel();
}

void BatchListModel::setItem(int row, const BatchItem& item) {
    if (row < 0 || row >= m_items.size()) {
        return;
    }
    m_items[row] = item;
    Q_EMIT dataChanged(index(row), index(row));
}

int BatchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant BatchListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_items.size()) {
        return {};
    }
    const BatchItem& item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole: return QFileInfo(item.sourceURL).fileName();
    case Qt::ToolTipRole: return item.sourceURL;
    case Qt::DecorationRole:
        return StatusIcons::pixmap(symbolFor(item.status.kind), 16, qGuiApp->devicePixelRatio());
    case statusTextRole: return item.status.text();
    case sidecarNoteRole: return item.status.sidecarNote();
    case statusKindRole: return static_cast<int>(item.status.kind);
    case sourceRole: return item.sourceURL;
    default: return {};
    }
}

} // namespace quorvane
