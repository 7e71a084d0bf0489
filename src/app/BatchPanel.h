#pragma once

// The batch list: its header ("Batch — 2 of 5 done", then "Batch finished — …"), one row per
// queued file, and the controls Cancel, Clear, Show outputs in file manager, Export Report… and
// Retry Failed, each shown when it applies; a row's context menu offers its file's preview. Hidden
// while the queue is empty.

#include <QTimer>
#include <QWidget>

class QLabel;
class QListView;
class QPushButton;

namespace quorvane {

class BatchCoordinator;
class BatchListModel;

class BatchPanel : public QWidget {
    Q_OBJECT

public:
    explicit BatchPanel(BatchCoordinator& batch, QWidget* parent = nullptr);

Q_SIGNALS:
    void showOutputsRequested();
    void exportReportRequested();
    void previewRequested(const QString& file);

public:
    // The preview of the file in `row`, as the row's "Preview…" asks for it.
    void previewRow(int row);

private:
    void refresh();

    BatchCoordinator& m_batch;
    BatchListModel* m_model = nullptr;
    QLabel* m_header = nullptr;
    QListView* m_list = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_showOutputs = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_retry = nullptr;
    QTimer m_spinner;
};

} // namespace quorvane
