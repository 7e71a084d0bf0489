#pragma once

// The main window's content: the preset picker, the drop area showing the single document's
// phase, the batch list, and the Open buttons. Accepts files and folders dropped from a file
// manager anywhere on it. Asks for the preview of a file chosen on the drop area or of a batch row.

#include <QWidget>

class QFrame;
class QLabel;

namespace quorvane {

class AppSettings;
class BatchPanel;
class ElidedLabel;
class FolderWatcher;
class MainWorkflow;
class PhasePanel;

class ContentView : public QWidget {
    Q_OBJECT

public:
    ContentView(AppSettings& settings, MainWorkflow& workflow, FolderWatcher& watcher,
                QWidget* parent = nullptr);

    BatchPanel& batchPanel() const { return *m_batchPanel; }

Q_SIGNALS:
    void previewRequested(const QString& file);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showPhase();
    void showWatcherStatus();
    void setTargeted(bool targeted);

    MainWorkflow& m_workflow;
    FolderWatcher& m_watcher;
    QFrame* m_dropArea = nullptr;
    PhasePanel* m_phasePanel = nullptr;
    BatchPanel* m_batchPanel = nullptr;
    ElidedLabel* m_watcherStatus = nullptr;
};

} // namespace quorvane
