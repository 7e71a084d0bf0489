#include "cli/DocumentRunner.h"

#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/ReportFile.h"
#include "cli/Terminal.h"
#include "cli/TerminalText.h"
#include "cli/TerminalWording.h"
#include "pipeline/ResultLines.h"
#include "platform/TesseractEnginePool.h"

#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace quorvane::cli {

namespace {

using Terminal::print;
using Terminal::shown;

} // namespace

DocumentRunner::DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword,
                               std::optional<QString> reportPath, QList<BatchItem> refused,
                               std::shared_ptr<const TextRecognizer> recognizer, QObject* parent)
    : QObject(parent), file_(std::move(file)), output_(std::move(output)), options_(std::move(options)),
      asksPassword_(asksPassword), reportPath_(std::move(reportPath)), refused_(std::move(refused)),
      showsProgress_(isatty(STDERR_FILENO) != 0), pipeline_(std::move(recognizer)) {
    connect(&pipeline_, &OCRPipeline::phaseChanged, this, &DocumentRunner::showPhase);
    connect(&pipeline_, &OCRPipeline::isRunningChanged, this, [this](bool running) {
        if (!running) {
            report();
            Q_EMIT finished();
        }
    });
}

void DocumentRunner::start() {
    QTimer::singleShot(0, this, [this] {
        if (stopping_) {
            exitCode_ = ExitStatus::cancelled;
            Q_EMIT finished();
            return;
        }
        std::optional<QString> password;
        if (asksPassword_ && OCRPipeline::requiresPassword(file_)) {
            const auto answer =
                readPassword(QStringLiteral("Password for %1: ").arg(shown(QFileInfo(file_).fileName(), stderr)));
            if (answer.interrupted) { // nothing was started
                stopping_ = true;
                exitCode_ = ExitStatus::cancelled;
                Q_EMIT finished();
                return;
            }
            password = answer.password;
        }
        pipeline_.process(file_, output_, options_, password);
    });
}

void DocumentRunner::interrupt() {
    if (stopping_) {
        return;
    }
    if (interrupted_) {
        stop();
        return;
    }
    interrupted_ = true;
    print(stderr, QStringLiteral("\nInterrupted: finishing the document in progress… (Ctrl-C again stops at once)\n"));
}

void DocumentRunner::stop() {
    if (stopping_) {
        return;
    }
    stopping_ = true;
    print(stderr, QStringLiteral("\nStopping: the document is cancelled; nothing is written.\n"));
    pipeline_.cancel();
    TesseractEnginePool::stopAllRecognitions(); // the page in progress need not be finished
}

void DocumentRunner::showPhase(const Phase& phase) {
    if (!showsProgress_) {
        return;
    }
    const QString text = phase.progressText();
    // One line, cut to the terminal's width: a wrapped one would not be cleared by the next.
    const QString line = text.isEmpty() ? QString() : shown(QFileInfo(file_).fileName(), stderr) + ": " + text;
    print(stderr, QStringLiteral("\r\033[K") +
                      TerminalText::fitted(line, TerminalText::columns(STDERR_FILENO) - 1));
}

void DocumentRunner::report() {
    const Phase& phase = pipeline_.phase();
    if (reportPath_) {
        BatchItem item = BatchItem::queued(file_);
        item.status = phase.kind == Phase::Kind::done ? ItemStatus::done(phase.summary)
                      : stopping_                      ? ItemStatus::cancelled()
                                                       : ItemStatus::failed(phase.message, phase.errorKind);
        if (const auto error = ReportFile::write(*reportPath_, QList<BatchItem>{item} + refused_)) {
            exitCode_ = ExitStatus::documentFailed;
            print(stderr, QStringLiteral("quorvane-cli: ") + shown(*error, stderr) + QLatin1Char('\n'));
        }
    }
    if (phase.kind != Phase::Kind::done) {
        exitCode_ = stopping_ ? ExitStatus::cancelled : ExitStatus::forFailure(phase.errorKind);
        print(stderr, QStringLiteral("quorvane-cli: %1: %2\n")
                          .arg(shown(file_, stderr), shown(TerminalWording::failure(phase.message, true, asksPassword_), stderr)));
        return;
    }
    QString text = shown(file_, stdout);
    if (phase.summary.outputURL) {
        text += QStringLiteral(" -> ") + shown(*phase.summary.outputURL, stdout);
    }
    text += QLatin1Char('\n');
    for (const auto& line : ResultLines::lines(phase.summary)) {
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    }
    if (phase.summary.sidecarURL) {
        text += QStringLiteral("  Text copy: ") + shown(*phase.summary.sidecarURL, stdout) + QLatin1Char('\n');
    }
    print(stdout, text);
    // The searchable PDF is there, but not everything that should have come with it.
    for (const auto& problem : phase.summary.problems()) {
        exitCode_ = ExitStatus::documentFailed;
        print(stderr, QStringLiteral("quorvane-cli: %1: %2 was written, but %3\n")
                          .arg(shown(file_, stderr), shown(phase.summary.outputURL.value_or(output_), stderr),
                               shown(problem, stderr)));
    }
}

} // namespace quorvane::cli
