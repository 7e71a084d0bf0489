#pragma once

// The batch queue: dropped or chosen files and folders become a list of documents that run
// through the document pipeline, at most two at a time, each on its own pipeline. Keeps a status
// per document for the batch list, the counts for the batch header and notification, and the
// parameters of the last run so the failed documents can be retried. Lives on the main thread;
// every change is announced by a signal.

#include "core/OCROptions.h"
#include "core/TextRecognizer.h"
#include "jobs/BatchItem.h"
#include "pipeline/OutputPath.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace quorvane {

class OCRPipeline;

class BatchCoordinator : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)

public:
    static constexpr int maxConcurrentItems = 2;
    static inline const QString defaultNameTemplate = OutputPath::defaultTemplate;
    static inline const QString interruptedMessage = QStringLiteral("Interrupted unexpectedly.");
    static inline const QString sharedOutputMessage = QStringLiteral(
        "Another file of this batch is saved under the same output name, so this one was not processed. "
        "Rename one of the two, or process them separately.");

    // What a run was started with, kept so that its failed documents can be run again.
    struct LastRun {
        std::optional<QString> outputFolder; // none: each output next to its source
        OCROptions options;
        QString nameTemplate;
        QStringList securityScopeURLs;
        QStringList mirroredRoots; // folders whose subfolders are mirrored under outputFolder
        bool operator==(const LastRun&) const = default;

        // Where the output of `source` goes.
        QString outputFor(const QString& source) const;
    };

    // Every document's pipeline recognises with `recognizer`.
    explicit BatchCoordinator(std::shared_ptr<const TextRecognizer> recognizer, QObject* parent = nullptr);
    ~BatchCoordinator() override;

    const QList<BatchItem>& items() const { return m_items; }
    bool isRunning() const { return m_isRunning; }
    bool cancelRequested() const { return m_cancelRequested; }

    // Dropped files and folders as the ordered list of documents to queue (see InputFiles).
    static QStringList expandInputs(const QStringList& paths);

    // Replaces the queue by these files and starts running it; returns at once. The run's end is
    // isRunning turning false, followed by finished(). Outputs among the files are left out (see
    // InputFiles::withoutOutputs). Ignored while a run is under way and when no file is left;
    // returns whether the run began. With skipExisting, documents whose output is up to date are not run again.
    // Sources inside `mirroredRoots` (folders searched with their subfolders) get their outputs in
    // the same subfolders of the output folder, made when a document in them is processed.
    bool start(const QStringList& urls, const OCROptions& options,
               const std::optional<QString>& outputFolder = std::nullopt,
               const QString& nameTemplate = defaultNameTemplate, const QStringList& securityScopeURLs = {},
               bool skipExisting = false, const QStringList& mirroredRoots = {});
    // Documents in flight finish; no new one starts; the rest end as cancelled.
    void cancel();
    // As cancel(), and the documents in flight stop at their next page too: they end as
    // cancelled, without output.
    void stopNow();
    // Empties the queue; ignored while a run is under way.
    void clear();
    // Runs the failed documents again with the last run's parameters; returns at once. Does
    // nothing while running, without a last run, or when nothing failed.
    void retryFailed();

    // True when `output` exists as a PDF of at least one page that records `source` as it is now
    // (name, size, modification time), has as many pages as a PDF source, and was modified no
    // earlier than the source. An output locked by its source's password is judged by the dates.
    // When a text copy is asked for, an output made without one, or whose copy is gone, is not.
    static bool isUpToDate(const QString& output, const QString& source, bool withTextCopy = false);

    // Done, failed, skipped or cancelled items.
    int completedCount() const;
    // Done items that recognised at least one page.
    int processedCount() const;
    // Done items whose pages all had text already.
    int alreadySearchableCount() const;
    int skippedCount() const;
    int failedCount() const;
    int cancelledCount() const;
    // In queue order: each written output, and each existing output that was kept.
    QStringList outputURLs() const;

    // "Batch — 2 of 5 done" while running or incomplete, then
    // "Batch finished — 3 processed · 1 already searchable · 1 skipped · 1 failed · 2 cancelled".
    QString headerText() const;

Q_SIGNALS:
    // The queue was replaced or emptied.
    void itemsChanged();
    // The status of the item at this index changed.
    void itemChanged(int index);
    void isRunningChanged(bool isRunning);
    // A run or retry has ended (emitted right after isRunning turned false).
    void finished();

private:
    void setRunning(bool running);
    void setStatus(int index, const ItemStatus& status);
    void beginRun();
    // Starts pending documents in queue order while fewer than two are in flight; ends the run
    // when nothing is in flight and nothing more can start.
    void startMore();
    bool sharesOutputWithEarlierItem(int index) const;
    void startItem(int index);
    void itemFinished(int index, OCRPipeline* pipeline);
    void endRun();

    std::shared_ptr<const TextRecognizer> m_recognizer;
    QList<BatchItem> m_items;
    QList<OCRPipeline*> m_pipelines; // in flight
    QStringList m_outputKeys;                 // each item's output path, for spotting shared outputs
    QHash<QString, int> m_firstItemWithOutput;
    bool m_isRunning = false;
    bool m_cancelRequested = false;
    std::optional<LastRun> m_lastRun;

    int m_cursor = 0;
    int m_inFlight = 0;
};

} // namespace quorvane
