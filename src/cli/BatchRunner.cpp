#include "cli/BatchRunner.h"

#include "cli/Terminal.h"
#include "jobs/ReportExporter.h"

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
    const QString note = item.status.sidecarNote();
    if (!note.isEmpty()) {
        line += QStringLiteral(" (") + shown(note, stdout) + QLatin1Char(')');
    }
    return line;
}

} // namespace

BatchRunner::BatchRunner(BatchSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), live_(isatty(STDOUT_FILENO) != 0) {
    connect(&coordinator_, &BatchCoordinator::itemChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::itemsChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::finished, this, &BatchRunner::batchFinished);
}

void BatchRunner::run(const QStringList& files) {
    if (files.isEmpty()) {
        print(stdout, QStringLiteral("No PDFs or images to process.\n"));
        QMetaObject::invokeMethod(this, &BatchRunner::finished, Qt::QueuedConnection);
        return;
    }
    coordinator_.start(files, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                       settings_.skipExisting);
}

void BatchRunner::watch(const QString& folder, bool processExisting) {
    live_ = false; // arrivals are reported one line at a time
    watcherState_ = std::make_unique<QSettings>(watcherStateFolder_.filePath("watcher.conf"), QSettings::IniFormat);
    watcher_ = std::make_unique<FolderWatcher>(*watcherState_);
    watcher_->setShouldAccept([this](const QString&) { return !coordinator_.isRunning(); });
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
    print(stdout, QStringLiteral("Watching %1 for new scans. Press Ctrl-C to stop.\n").arg(shown(folder, stdout)));
    if (processExisting) {
        watcher_->processExisting();
    }
}

void BatchRunner::interrupt() {
    if (interrupted_) {
        print(stderr, QStringLiteral("Still finishing the documents in progress…\n"));
        return;
    }
    interrupted_ = true;
    if (watcher_) {
        watcher_->stopWatching();
    }
    if (!coordinator_.isRunning()) {
        Q_EMIT finished();
        return;
    }
    print(stderr, QStringLiteral("Interrupted: finishing the documents in progress, cancelling the rest…\n"));
    coordinator_.cancel();
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
                  item.status.kind == ItemStatus::Kind::cancelled;
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
