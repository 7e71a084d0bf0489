#include "cli/BatchRunner.h"

#include "cli/ReportFile.h"
#include "cli/TerminalProgressView.h"
#include "cli/TerminalWording.h"

#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace quorvane::cli {

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString itemLine(const BatchItem& item) {
    QString line = QFileInfo(item.sourceURL).fileName();
    if (item.status.kind == ItemStatus::Kind::done && item.outputURL()) {
        line += QStringLiteral(" -> ") + *item.outputURL();
    }
    line += QStringLiteral(": ") + (item.status.kind == ItemStatus::Kind::failed
                                         ? TerminalWording::failure(item.status.message, false)
                                         : item.status.text());
    const QString note = item.status.sidecarNote();
    if (!note.isEmpty()) {
        line += QStringLiteral(" (") + note + QLatin1Char(')');
    }
    return line;
}

} // namespace

BatchRunner::BatchRunner(BatchSettings settings, QObject* parent) : QObject(parent), settings_(std::move(settings)) {
    if (isatty(STDOUT_FILENO)) {
        view_ = std::make_unique<TerminalProgressView>(stdout);
    }
    connect(&coordinator_, &BatchCoordinator::itemChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::itemsChanged, this, &BatchRunner::showItems);
    connect(&coordinator_, &BatchCoordinator::finished, this, &BatchRunner::batchFinished);
}

BatchRunner::~BatchRunner() = default;

void BatchRunner::run(const QStringList& files) {
    if (files.isEmpty()) {
        print(stdout, QStringLiteral("No PDFs or images to process.\n"));
        QMetaObject::invokeMethod(this, &BatchRunner::finished, Qt::QueuedConnection);
        return;
    }
    coordinator_.start(files, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                       settings_.skipExisting, settings_.mirroredRoots);
}

void BatchRunner::watch(const QString& folder, bool processExisting) {
    view_.reset(); // arrivals are reported one line at a time
    watcherState_ = std::make_unique<QSettings>(watcherStateFolder_.filePath("watcher.conf"), QSettings::IniFormat);
    watcher_ = std::make_unique<FolderWatcher>(*watcherState_);
    watcher_->setShouldAccept([this](const QString&) { return !coordinator_.isRunning(); });
    watcher_->setHandler([this](const QStringList& files) {
        coordinator_.start(files, settings_.options, settings_.outputFolder, settings_.nameTemplate, {},
                           settings_.skipExisting);
    });
    connect(watcher_.get(), &FolderWatcher::statusMessageChanged, this, [this] {
        if (const auto message = watcher_->statusMessage()) {
            print(stderr, QStringLiteral("quorvane-cli: ") + TerminalWording::watcherStatus(*message) + QLatin1Char('\n'));
        }
    });
    watcher_->startWatching(folder);
    print(stdout, QStringLiteral("Watching %1 for new scans. Press Ctrl-C to stop.\n").arg(folder));
    if (processExisting) {
        watcher_->processExisting();
    }
}

void BatchRunner::interrupt() {
    if (interrupted_) {
        notice(QStringLiteral("Still finishing the documents in progress…"));
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
    notice(QStringLiteral("Interrupted: finishing the documents in progress, cancelling the rest…"));
    coordinator_.cancel();
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
            live << QStringLiteral("  ") + QFileInfo(item.sourceURL).fileName() + QStringLiteral(": ") +
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
                  item.status.kind == ItemStatus::Kind::cancelled;
    }
    if (view_) {
        view_->clearLive();
    }
    if (!watcher_) {
        say(coordinator_.headerText());
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
    if (const auto error = ReportFile::write(*settings_.reportPath, coordinator_.items())) {
        failed_ = true;
        notice(QStringLiteral("quorvane-cli: ") + *error);
        return;
    }
    say(QStringLiteral("Report: %1").arg(*settings_.reportPath));
}

} // namespace quorvane::cli
