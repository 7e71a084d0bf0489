#pragma once

// The batch list's rows: one per queued file, with its name, status line, the orange note of a
// text copy that could not be saved, and the status symbol.

#include "jobs/BatchItem.h"

#include <QAbstractListModel>
#include <QList>

namespace quorvane {

class BatchListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { statusTextRole = Qt::UserRole + 1, sidecarNoteRole, statusKindRole, sourceRole };

    using QAbstractListModel::QAbstractListModel;

    void setItems(const QList<BatchItem>& items);
    void setItem(int row, const BatchItem& item);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QList<BatchItem> m_items;
};

} // namespace quorvane
