#pragma once

// Runs several documents as a batch (two at a time), or watches a folder and runs what arrives,
// and prints how each document turned out.

#include "core/OCROptions.h"
#include "core/TextRecognizer.h"
#include "jobs/BatchCoordinator.h"
#include "jobs/FolderWatcher.h"

#include <QObject>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>
#include <optional>

namespace quorvane::cli {

class TerminalProgressView;

struct BatchSettings {
    OCROptions options;
    std::optional<QString> outputFolder;
    QString nameTemplate;
    bool skipExisting = true;
    bool retry = false;
    std::optional<QString> reportPath;
    QStringList mirroredRoots; // folders whose subfolders are mirrored under outputFolder
    QList<BatchItem> refused;  // inputs named but not taken, failed in the report
};

class BatchRunner : public QObject {
    Q_OBJECT

public:
    BatchRunner(BatchSettings settings, std::shared_ptr<const TextRecognizer> recognizer,
                QObject* parent = nullptr);
    ~BatchRunner() override;

    void run(const QStringList& files);
    void watch(const QString& folder, bool processExisting);
    // The first Ctrl-C: documents in flight finish, nothing new starts. The second: as stop().
    void interrupt();
    // SIGTERM: documents in flight stop at once without output, nothing new starts;
    // the report is still written.
    void stop();

    // 0 when every document is done (and complete), skipped or already searchable; cancelled when
    // any document was cancelled; otherwise 1 when any failed, lacks something that should have been
    // written with it, or the report could not be written (see ExitStatus).
    int exitCode() const;

Q_SIGNALS:
    void finished();

private:
    bool finishUnlessBusy();
    // A line for good: above the progress on a terminal, on standard output otherwise.
    void say(const QString& line);
    // A notice for standard error, kept clear of the progress when both show on one terminal.
    void notice(const QString& line);
    void showItems();
    void batchFinished();
    void writeReport();

    BatchSettings settings_;
    BatchCoordinator coordinator_;
    std::unique_ptr<FolderWatcher> watcher_;
    // The watcher's state stays private to this run: watching from a terminal does not change
    // the folder that the desktop application watches.
    QTemporaryDir watcherStateFolder_;
    std::unique_ptr<QSettings> watcherState_;
    std::unique_ptr<TerminalProgressView> view_; // on a terminal, what is in progress is redrawn in place
    QSet<QUuid> reported_;    // completed items already printed
    QList<BatchItem> earlierBatches_; // a watch's batches before the current one, for its report
    bool reportWritten_ = false;
    bool retried_ = false;
    bool interrupted_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    bool cancelled_ = false;
};

} // namespace quorvane::cli
