#pragma once

// What the main window does with files: routing of arrivals (busy check, folder expansion, a
// batch for several files, a single run for one), the password question of a locked PDF, the
// write probe with its save-dialog fallback, the batch it owns, the folder watcher's hand-over,
// the completion notifications and the result actions. No widgets: the window's views show the
// state of this object and of the engine objects it drives.

#include "app/DialogProvider.h"
#include "app/PasswordPrompt.h"
#include "jobs/BatchCoordinator.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane {

class AppSettings;
class FolderWatcher;
class OCRPipeline;

class MainWorkflow : public QObject {
    Q_OBJECT

public:
    static inline const QString busyTitle = QStringLiteral("Processing in progress");
    static inline const QString busyMessage =
        QStringLiteral("Wait for the current job to finish, or cancel the batch, before adding more files.");
    static inline const QString saveLocationMessage = QStringLiteral(
        "Quorvane can't write next to the source file \u2014 choose where to save the searchable copy.");
    static inline const QString onlyOutputsTitle = QStringLiteral("Nothing to process");
    static inline const QString onlyOutputsMessage = QStringLiteral(
        "These files are searchable copies of other files. Add the originals instead.");
    static inline const QString exportFailedTitle = QStringLiteral("Report export failed");
    // Prefix of the empty file that tests whether a folder takes new files.
    static inline const QString probePrefix = QStringLiteral(".quorvane-probe-");

    MainWorkflow(AppSettings& settings, OCRPipeline& pipeline, FolderWatcher& watcher, DialogProvider& dialogs,
                 QObject* parent = nullptr);
    ~MainWorkflow() override;

    BatchCoordinator& batch() { return m_batch; }
    OCRPipeline& pipeline() { return m_pipeline; }
    // The file of the current or last single-file run.
    const std::optional<QString>& selectedURL() const { return m_selectedURL; }
    // The open password question, if any.
    PasswordPrompt* passwordPrompt() const { return m_passwordPrompt; }
    // A document or a batch is being processed (or a dropped file is being looked at).
    bool isBusy() const;

    // Files and folders that arrived by a drop, the Open dialog or from outside the window.
    void arrive(const QStringList& paths);
    // Asks for files or a folder, then routes them as an arrival.
    void chooseAndArrive(DialogProvider::InputKind kind);
    // One file handed back by the preview: a single run with the options it was tried with (after
    // the busy check and the password question, as any arrival).
    void processWithOptions(const QString& file, const OCROptions& options);
    // Asks for the file to preview; nothing when the user cancels.
    std::optional<QString> choosePreviewFile();

    // Result actions of the last single-file run.
    void showOutput() const;
    void openSidecar() const;
    // Batch actions.
    void showBatchOutputs() const;
    void exportReport();

    // Asks before quitting while work is under way; true when quitting may go ahead.
    bool mayQuit();
    // Quitting: the documents in progress are given up at once, and leave nothing behind.
    void stopAll();

    // True when an empty file can be created (and is removed again) in the folder.
    static bool isFolderWritable(const QString& folder);

Q_SIGNALS:
    void selectedURLChanged();
    void passwordPromptChanged();

private:
    // Without `options`, the run takes the current settings.
    void routeOneFile(const QString& file, const std::optional<OCROptions>& options = std::nullopt);
    void askPassword(const QString& file, const std::optional<OCROptions>& options);
    void startSingleRun(const QString& file, const std::optional<QString>& password,
                        const std::optional<OCROptions>& options);
    void startBatch(const QStringList& files, const QStringList& heldFolders);
    void documentFinished();
    void batchFinished();

    AppSettings& m_settings;
    OCRPipeline& m_pipeline;
    FolderWatcher& m_watcher;
    DialogProvider& m_dialogs;
    BatchCoordinator m_batch;
    std::optional<QString> m_selectedURL;
    QPointer<PasswordPrompt> m_passwordPrompt;
    bool m_inspectingArrival = false;
};

} // namespace quorvane
