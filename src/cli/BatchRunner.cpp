#include "cli/BatchRunner.h"

#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "jobs/InputFiles.h"
#include "jobs/ReportExporter.h"
#include "platform/TesseractEnginePool.h"

#include <QDateTime>
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
    line += QStringLiteral(": ") + shown(item.status.text(), stdout);
    if (item.status.kind == ItemStatus::Kind::done && !item.status.summary.problems().isEmpty()) {
        line += QStringLiteral(" (but ") + shown(item.status.summary.problems().join(QStringLiteral("; ")), stdout) +
                QLatin1Char(')');
    }
    return line;
}

} // namespace

BatchRunner::BatchRunner(BatchSettings settings, std::shared_ptr<const TextRecognizer> recognizer,
                         QObject* parent)
    : QObject(parent), settings_(std::move(settings)), coordinator_(std::move(recognizer)),
      live_(isatty(STDOUT_FILENO) != 0) {
    connect(&coordinator_, &BatchCoordinator::itemChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::itemsChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::finished, this, &BatchRunner::batchFinished);
}

void BatchRunner::run(const QStringList& files) {
    const QStringList sources = InputFiles::withoutOutputs(files, settings_.nameTemplate);
    if (sources.size() < files.size()) {
        print(stdout, QStringLiteral("Left out %1 searchable cop%2 of other files.\n")
                          .arg(files.size() - sources.size())
                          .arg(files.size() - sources.size() == 1 ? "y" : "ies"));
    }
    if (sources.isEmpty()) {
        print(stdout, QStringLiteral("No PDFs or images to process.\n"));
        QMetaObject::invokeMethod(this, &BatchRunner::finished, Qt::QueuedConnection);
        return;
    }
    coordinator_.start(sources, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                       settings_.skipExisting);
}

void BatchRunner::watch(const QString& folder, bool processExisting) {
    live_ = false; // arrivals are reported one line at a time
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
            print(stderr, QStringLiteral("quorvane-cli: ") + shown(*message, stderr) + QLatin1Char('\n'));
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
    print(stderr, QStringLiteral("Interrupted: finishing the documents in progress, cancelling the rest… "
                                 "(Ctrl-C again stops at once)\n"));
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
    print(stderr, QStringLiteral("Stopping: the documents in progress are cancelled; nothing more is written.\n"));
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
    Q_EMIT finished();
    return true;
}

void BatchRunner::showItems() {
    const auto& items = coordinator_.items();
    if (live_) {
        QString block = linesDrawn_ > 0 ? QStringLiteral("\033[%1A").arg(linesDrawn_) : QString();
        block += QStringLiteral("\033[K") + coordinator_.headerText() + QLatin1Char('\n');
        for (const auto& item : items) {
            block += QStringLiteral("\033[K  ") + itemLine(item) + QLatin1Char('\n');
        }
        print(stdout, block);
        linesDrawn_ = static_cast<int>(items.size()) + 1;
        return;
    }
    for (const auto& item : items) {
        if (item.status.isCompleted() && !reported_.contains(item.id)) {
            reported_.insert(item.id);
            print(stdout, itemLine(item) + QLatin1Char('\n'));
        }
    }
}

void BatchRunner::batchFinished() {
    showItems();
    if (settings_.retry && !retried_ && !interrupted_ && coordinator_.failedCount() > 0) {
        retried_ = true;
        print(stdout, QStringLiteral("Retrying %1 failed document(s)…\n").arg(coordinator_.failedCount()));
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
    if (!live_ && !watcher_) {
        print(stdout, coordinator_.headerText() + QLatin1Char('\n'));
    }
    writeReport();
    if (!watcher_ || interrupted_) {
        Q_EMIT finished();
    }
}

void BatchRunner::writeReport() {
    if (!settings_.reportPath) {
        return;
    }
    const auto format = QFileInfo(*settings_.reportPath).suffix().toLower() == QLatin1String("json")
                            ? ReportExporter::Format::json
                            : ReportExporter::Format::csv;
    try {
        ReportExporter::write(*settings_.reportPath, format, coordinator_.items(), QDateTime::currentDateTime());
        print(stdout, QStringLiteral("Report: %1\n").arg(shown(*settings_.reportPath, stdout)));
    } catch (const std::exception& error) {
        failed_ = true;
        print(stderr, QStringLiteral("quorvane-cli: the report could not be written: %1\n")
                          .arg(shown(QString::fromUtf8(error.what()), stderr)));
    }
}

} // namespace quorvane::cli
