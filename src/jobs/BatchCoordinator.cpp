#include "jobs/BatchCoordinator.h"

#include "jobs/InputFiles.h"
#include "pipeline/OCRPipeline.h"
#include "pipeline/OutputPath.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"
#include "platform/PdfDocument.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace quorvane {

BatchCoordinator::BatchCoordinator(std::shared_ptr<const TextRecognizer> recognizer, QObject* parent)
    : QObject(parent), m_recognizer(std::move(recognizer)) {}

// Pipelines still in flight are children and go with the coordinator; their worker threads
// finish on their own and find nobody to report to.
BatchCoordinator::~BatchCoordinator() = default;

QStringList BatchCoordinator::expandInputs(const QStringList& paths) { return InputFiles::expandInputs(paths); }

bool BatchCoordinator::start(const QStringList& urls, const OCROptions& options,
                             const std::optional<QString>& outputFolder, const QString& nameTemplate,
                             const QStringList& securityScopeURLs, bool skipExisting,
                             const QStringList& mirroredRoots) {
    const QStringList sources = InputFiles::withoutOutputs(urls, nameTemplate);
    if (m_isRunning || sources.isEmpty()) {
        return false;
    }
    m_cancelRequested = false;
    m_items.clear();
    for (const auto& url : sources) {
        m_items.append(BatchItem::queued(url));
    }
    // There is no sandbox here: access to the security-scope URLs needs no starting or stopping,
    // they are only kept with the run's other parameters.
    m_lastRun = LastRun{outputFolder, options, nameTemplate, securityScopeURLs, mirroredRoots};

    Q_EMIT itemsChanged();
    if (!skipExisting) {
        beginRun();
        return true;
    }
    // Opening every earlier output takes a while in a large batch: it is done beside the window,
    // with the batch already running so that it cannot be started twice.
    setRunning(true);
    QStringList outputs;
    for (const auto& item : std::as_const(m_items)) {
        outputs.append(m_lastRun->outputFor(item.sourceURL));
    }
    QtConcurrent::run([outputs, sources, withTextCopy = options.writesTextSidecar] {
        QList<bool> upToDate;
        for (int index = 0; index < outputs.size(); ++index) {
            upToDate.append(isUpToDate(outputs[index], sources[index], withTextCopy));
        }
        return upToDate;
    }).then(this, [this, outputs](const QList<bool>& upToDate) {
        for (int index = 0; index < upToDate.size(); ++index) {
            if (upToDate[index]) {
                setStatus(index, ItemStatus::skippedExisting(outputs[index]));
            }
        }
        beginRun();
    });
    return true;
}

void BatchCoordinator::cancel() { m_cancelRequested = true; }

void BatchCoordinator::stopNow() {
    cancel();
    for (OCRPipeline* pipeline : std::as_const(m_pipelines)) {
        pipeline->cancel();
    }
}

void BatchCoordinator::clear() {
    if (m_isRunning) {
        return;
    }
    m_items.clear();
    Q_EMIT itemsChanged();
}

void BatchCoordinator::retryFailed() {
    if (m_isRunning || !m_lastRun) {
        return;
    }
    bool anyFailed = false;
    for (int index = 0; index < m_items.size(); ++index) {
        if (m_items[index].status.kind == ItemStatus::Kind::failed) {
            anyFailed = true;
            setStatus(index, ItemStatus::pending());
        }
    }
    if (!anyFailed) {
        return;
    }
    m_cancelRequested = false;
    beginRun();
}

bool BatchCoordinator::isUpToDate(const QString& output, const QString& source, bool withTextCopy) {
    const auto outputStatus = FileNames::status(output);
    if (!outputStatus) {
        return false;
    }
    const auto outputDocument = PdfDocument::open(output);
    if (!outputDocument) {
        return false;
    }
    const DocumentAttributes recorded = outputDocument->attributes();
    // The text copy turned on since the output was made (or deleted since) is made now.
    if (withTextCopy && (!FileNames::exists(OutputPath::textCopyPath(output)) ||
                         recorded.textCopy == QString::fromLatin1(noTextCopy))) {
        return false;
    }
    // The output must record this very source as it is now; one that keeps its source's
    // password cannot be read without it and is judged by the dates alone.
    const auto now = SourceRecord::of(source);
    const bool sameSource =
        recorded.source && now ? recorded.source->isUnchanged(*now) : !recorded.source && !now;
    if (!outputDocument->isLocked() && (outputDocument->pageCount() < 1 || !sameSource)) {
        return false;
    }
    // An image, or a source that does not open, has no page count to compare.
    const auto sourceDocument = PdfDocument::open(source);
    if (sourceDocument && sourceDocument->pageCount() >= 1 &&
        sourceDocument->pageCount() != outputDocument->pageCount()) {
        return false;
    }
    const auto sourceStatus = FileNames::status(source);
    if (!sourceStatus) {
        return true;
    }
    return FileNames::modified(*outputStatus) >= FileNames::modified(*sourceStatus);
}

int BatchCoordinator::completedCount() const {
    return static_cast<int>(
        std::count_if(m_items.begin(), m_items.end(), [](const BatchItem& item) { return item.status.isCompleted(); }));
}

namespace {

int countDone(const QList<BatchItem>& items, bool recognized) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const BatchItem& item) {
        return item.status.kind == ItemStatus::Kind::done && (item.status.summary.processedPages > 0) == recognized;
    }));
}

int countKind(const QList<BatchItem>& items, ItemStatus::Kind kind) {
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [&](const BatchItem& item) { return item.status.kind == kind; }));
}

} // namespace

int BatchCoordinator::processedCount() const { return countDone(m_items, true); }

int BatchCoordinator::alreadySearchableCount() const { return countDone(m_items, false); }

int BatchCoordinator::skippedCount() const { return countKind(m_items, ItemStatus::Kind::skippedExisting); }

int BatchCoordinator::failedCount() const { return countKind(m_items, ItemStatus::Kind::failed); }

int BatchCoordinator::cancelledCount() const { return countKind(m_items, ItemStatus::Kind::cancelled); }

QStringList BatchCoordinator::outputURLs() const {
    QStringList urls;
    for (const auto& item : m_items) {
        if (const auto output = item.outputURL()) {
            urls.append(*output);
        }
    }
    return urls;
}

QString BatchCoordinator::LastRun::outputFor(const QString& source) const {
    return OutputPath::outputURL(source, OutputPath::mirroredFolder(source, outputFolder, mirroredRoots), nameTemplate);
}

QString BatchCoordinator::headerText() const {
    const int completed = completedCount();
    if (m_isRunning || completed < m_items.size()) {
        return QStringLiteral("Batch \u2014 %1 of %2 done").arg(completed).arg(m_items.size());
    }
    QStringList parts;
    const auto add = [&](int count, const char* what) {
        if (count > 0) {
            parts.append(QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what)));
        }
    };
    add(processedCount(), "processed");
    add(alreadySearchableCount(), "already searchable");
    add(skippedCount(), "skipped");
    add(failedCount(), "failed");
    add(cancelledCount(), "cancelled");
    return QStringLiteral("Batch finished \u2014 ") + parts.join(QStringLiteral(" \u00b7 "));
}

void BatchCoordinator::setRunning(bool running) {
    if (m_isRunning == running) {
        return;
    }
    m_isRunning = running;
    Q_EMIT isRunningChanged(running);
}

void BatchCoordinator::setStatus(int index, const ItemStatus& status) {
    if (index < 0 || index >= m_items.size() || m_items[index].status == status) {
        return;
    }
    m_items[index].status = status;
    Q_EMIT itemChanged(index);
}

// The queue itself starts from the event loop, so that start() and retryFailed() always return
// with the run under way and its end always comes later, even when nothing needs processing.
void BatchCoordinator::beginRun() {
    m_outputKeys.clear();
    m_firstItemWithOutput.clear();
    for (int index = 0; index < m_items.size(); ++index) {
        const QString output = m_lastRun->outputFor(m_items[index].sourceURL);
        const QString key = FileNames::absolute(output).toLower();
        m_outputKeys.append(key);
        m_firstItemWithOutput.insert(key, std::min(m_firstItemWithOutput.value(key, index), index));
    }
    m_cursor = 0;
    m_inFlight = 0;
    setRunning(true);
    QTimer::singleShot(0, this, &BatchCoordinator::startMore);
}

void BatchCoordinator::startMore() {
    while (m_inFlight < maxConcurrentItems && !m_cancelRequested) {
        while (m_cursor < m_items.size() && m_items[m_cursor].status.kind != ItemStatus::Kind::pending) {
            ++m_cursor;
        }
        if (m_cursor >= m_items.size()) {
            break;
        }
        const int index = m_cursor++;
        if (sharesOutputWithEarlierItem(index)) {
            setStatus(index, ItemStatus::failed(sharedOutputMessage));
            continue;
        }
        ++m_inFlight;
        startItem(index);
    }
    if (m_inFlight == 0) {
        endRun();
    }
}

// Two sources with one base name (scan.png, scan.tif) would be written to the same output, the
// second silently replacing the first; the later one is refused instead.
bool BatchCoordinator::sharesOutputWithEarlierItem(int index) const {
    return m_firstItemWithOutput.value(m_outputKeys.value(index), index) != index;
}

void BatchCoordinator::startItem(int index) {
    const LastRun& run = *m_lastRun;
    const QString source = m_items[index].sourceURL;
    const QString output = run.outputFor(source);
    if (!run.mirroredRoots.isEmpty()) {
        FileErrors::makeFolder(QFileInfo(output).path()); // a failure shows as the document's write failure
    }

    auto* pipeline = new OCRPipeline(m_recognizer, this);
    m_pipelines.append(pipeline);

    connect(pipeline, &OCRPipeline::phaseChanged, this, [this, index](const Phase& phase) {
        switch (phase.kind) {
        case Phase::Kind::recognizing:
            setStatus(index, ItemStatus::processing(
                                 QStringLiteral("Page %1 of %2").arg(phase.currentPage).arg(phase.totalPages)));
            break;
        case Phase::Kind::preparing: setStatus(index, ItemStatus::processing(QStringLiteral("Preparing…"))); break;
        case Phase::Kind::writing:
            setStatus(index, ItemStatus::processing(QStringLiteral("Writing text layer…")));
            break;
        default: break;
        }
    });
    // Queued: the outcome is read once the pipeline has returned from reporting it, which also
    // holds when it fails before process() itself returns.
    connect(
        pipeline, &OCRPipeline::isRunningChanged, this,
        [this, index, pipeline](bool running) {
            if (!running) {
                itemFinished(index, pipeline);
            }
        },
        Qt::QueuedConnection);

    setStatus(index, ItemStatus::processing(QStringLiteral("Preparing…")));
    pipeline->process(source, output, run.options, std::nullopt);
}

void BatchCoordinator::itemFinished(int index, OCRPipeline* pipeline) {
    disconnect(pipeline, nullptr, this, nullptr);
    const Phase outcome = pipeline->phase();
    const bool cancelled = pipeline->wasCancelled();
    m_pipelines.removeOne(pipeline);
    delete pipeline;

    switch (outcome.kind) {
    case Phase::Kind::done: setStatus(index, ItemStatus::done(outcome.summary)); break;
    case Phase::Kind::failed:
        setStatus(index, cancelled ? ItemStatus::cancelled() : ItemStatus::failed(outcome.message, outcome.errorKind));
        break;
    default: setStatus(index, ItemStatus::failed(interruptedMessage)); break;
    }
    --m_inFlight;
    startMore();
}

void BatchCoordinator::endRun() {
    if (m_cancelRequested) {
        for (int index = 0; index < m_items.size(); ++index) {
            if (m_items[index].status.kind == ItemStatus::Kind::pending) {
                setStatus(index, ItemStatus::cancelled());
            }
        }
    }
    setRunning(false);
    Q_EMIT finished();
}

} // namespace quorvane
