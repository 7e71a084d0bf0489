#include "cli/BatchRunner.h"

#include "cli/ExitStatus.h"
#include "cli/ReportFile.h"
#include "cli/Terminal.h"
#include "cli/TerminalProgressView.h"
#include "cli/TerminalWording.h"
#include "jobs/InputFiles.h"
#include "platform/TesseractEnginePool.h"

#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace quorvane::cli {

namespace {

using Terminal::print;
using Terminal::shown;

// One item's line on standard output.
QString itemLine(const BatchItem& item) {
    QString line = shown(QFileInfo(item.sourceURL).fileName(), stdout);
    if (item.status.kind == ItemStatus::Kind::done && item.outputURL()) {
        line += QStringLiteral(" -> ") + shown(*item.outputURL(), stdout);
    }
    line += QStringLiteral(": ") + shown(item.status.kind == ItemStatus::Kind::failed
                                               ? TerminalWording::failure(item.status.message, false)
                                               : item.status.text(),
                                           stdout);
    if (item.status.kind == ItemStatus::Kind::done && !item.status.summary.problems().isEmpty()) {
        line += QStringLiteral(" (but ") + shown(item.status.summary.problems().join(QStringLiteral("; ")), stdout) +
                QLatin1Char(')');
    }
    return line;
}

} // namespace

BatchRunner::BatchRunner(BatchSettings settings, std::shared_ptr<const TextRecognizer> recognizer,
                         QObject* parent)
    : QObject(parent), settings_(std::move(settings)), coordinator_(std::move(recognizer)) {
    if (isatty(STDOUT_FILENO)) {
        view_ = std::make_unique<TerminalProgressView>(stdout);
    }
    connect(&coordinator_, &BatchCoordinator::itemChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::itemsChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::finished, this, &BatchRunner::batchFinished);
}

BatchRunner::~BatchRunner() = default;

void BatchRunner::run(const QStringList& files) {
    const QStringList sources = InputFiles::withoutOutputs(files, settings_.nameTemplate);
    if (sources.size() < files.size()) {
        say(QStringLiteral("Left out %1 searchable cop%2 of other files.")
                .arg(files.size() - sources.size())
                .arg(files.size() - sources.size() == 1 ? "y" : "ies"));
    }
    if (sources.isEmpty()) {
        if (settings_.refused.isEmpty()) {
            say(QStringLiteral("No PDFs or images to process."));
        }
        writeReport(); // an earlier run's report must not pass for this one's
        QMetaObject::invokeMethod(this, &BatchRunner::finished, Qt::QueuedConnection);
        return;
    }
    coordinator_.start(sources, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                       settings_.skipExisting, settings_.mirroredRoots);
}

void BatchRunner::watch(const QString& folder, bool processExisting) {
    view_.reset(); // arrivals are reported one line at a time
    watcherState_ = std::make_unique<QSettings>(watcherStateFolder_.filePath("watcher.conf"), QSettings::IniFormat);
    watcher_ = std::make_unique<FolderWatcher>(*watcherState_);
    watcher_->setShouldAccept([this](const QString&) { return !coordinator_.isRunning(); });
    watcher_->setNameTemplate([this] { return settings_.nameTemplate; });
    watcher_->setHandler([this](const QStringList& files) {
        coordinator_.start(files, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                           settings_.skipExisting);
    });
    connect(watcher_.get(), &FolderWatcher::statusMessageChanged, this, [this] {
        if (const auto message = watcher_->statusMessage()) {
            print(stderr, QStringLiteral("quorvane-cli: ") + shown(TerminalWording::watcherStatus(*message), stderr) +
                              QLatin1Char('\n'));
        } else if (watcher_->isWatching()) { // the folder that went away is back
            print(stdout, QStringLiteral("Watching %1 again.\n").arg(shown(*watcher_->folderURL(), stdout)));
        }
    });
    watcher_->startWatching(folder);
    if (!watcher_->isWatching()) { // the status message has said why
        failed_ = true;
        QMetaObject::invokeMethod(this, &BatchRunner::finished, Qt::QueuedConnection);
        return;
    }
    print(stdout, QStringLiteral("Watching %1 for new scans. Press Ctrl-C to stop.\n").arg(shown(folder, stdout)));
    if (processExisting) {
        watcher_->processExisting();
    }
}

int BatchRunner::exitCode() const {
    if (cancelled_) {
        return ExitStatus::cancelled;
    }
    return failed_ ? ExitStatus::documentFailed : ExitStatus::done;
}

void BatchRunner::interrupt() {
    if (interrupted_) {
        stop();
        return;
    }
    interrupted_ = true;
    if (finishUnlessBusy()) {
        return;
    }
    notice(QStringLiteral("Interrupted: finishing the documents in progress, cancelling the rest… "
                          "(Ctrl-C again stops at once)"));
    coordinator_.cancel();
}

void BatchRunner::stop() {
    if (stopping_) {
        return;
    }
    stopping_ = true;
    interrupted_ = true;
    if (finishUnlessBusy()) {
        return;
    }
    notice(QStringLiteral("Stopping: the documents in progress are cancelled; nothing more is written."));
    coordinator_.stopNow();
    TesseractEnginePool::stopAllRecognitions(); // the pages in progress need not be finished
}

// No more arrivals are taken; without a batch in progress the run is over (true).
bool BatchRunner::finishUnlessBusy() {
    if (watcher_) {
        watcher_->stopWatching();
    }
    if (coordinator_.isRunning()) {
        return false;
    }
    if (watcher_ && !reportWritten_) {
        writeReport(); // nothing arrived: an earlier run's report must not pass for this one's
    }
    Q_EMIT finished();
    return true;
}

void BatchRunner::say(const QString& line) {
    if (view_) {
        view_->printAbove(line);
    } else {
        print(stdout, line + QLatin1Char('\n'));
    }
}

void BatchRunner::notice(const QString& line) {
    if (view_ && isatty(STDERR_FILENO)) {
        view_->printAbove(line); // the same screen: written to it around the progress
    } else {
        print(stderr, line + QLatin1Char('\n'));
    }
}

// A line for each document as it finishes; on a terminal, under them, the header and the
// documents in progress, redrawn in place.
void BatchRunner::showItems() {
    const auto& items = coordinator_.items();
    QStringList finished, live{coordinator_.headerText()};
    for (const auto& item : items) {
        if (item.status.isCompleted() && !reported_.contains(item.id)) {
            reported_.insert(item.id);
            finished << itemLine(item);
        } else if (item.status.kind == ItemStatus::Kind::processing) {
            live << QStringLiteral("  ") + shown(QFileInfo(item.sourceURL).fileName(), stdout) + QStringLiteral(": ") +
                        item.status.text();
        }
    }
    if (view_) {
        view_->show(finished, live);
        return;
    }
    for (const auto& line : finished) {
        say(line);
    }
}

void BatchRunner::batchFinished() {
    showItems();
    if (settings_.retry && !retried_ && !interrupted_ && coordinator_.failedCount() > 0) {
        retried_ = true;
        say(QStringLiteral("Retrying %1 failed document(s)…").arg(coordinator_.failedCount()));
        for (const auto& item : coordinator_.items()) {
            if (item.status.kind == ItemStatus::Kind::failed) {
                reported_.remove(item.id);
            }
        }
        coordinator_.retryFailed();
        return;
    }
    for (const auto& item : coordinator_.items()) {
        failed_ = failed_ || item.status.kind == ItemStatus::Kind::failed ||
                  (item.status.kind == ItemStatus::Kind::done && !item.status.summary.problems().isEmpty());
        cancelled_ = cancelled_ || item.status.kind == ItemStatus::Kind::cancelled;
    }
    if (view_) {
        view_->clearLive();
    }
    if (!watcher_) {
        say(coordinator_.headerText());
    }
    writeReport();
    if (watcher_) {
        earlierBatches_ += coordinator_.items();
    }
    if (!watcher_ || interrupted_) {
        Q_EMIT finished();
    }
}

void BatchRunner::writeReport() {
    if (!settings_.reportPath) {
        return;
    }
    reportWritten_ = true;
    // A watch reports every arrival since it began, not only the last batch's.
    if (const auto error = ReportFile::write(*settings_.reportPath,
                                             earlierBatches_ + coordinator_.items() + settings_.refused)) {
        failed_ = true;
        notice(QStringLiteral("quorvane-cli: ") + shown(*error, stderr));
        return;
    }
    say(QStringLiteral("Report: %1").arg(shown(*settings_.reportPath, stdout)));
}

} // namespace quorvane::cli
