#include "cli/DocumentRunner.h"

#include "cli/PasswordPrompt.h"
#include "cli/Terminal.h"
#include "pipeline/ResultLines.h"

#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace quorvane::cli {

namespace {

using Terminal::print;
using Terminal::shown;

} // namespace

DocumentRunner::DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword, QObject* parent)
    : QObject(parent), file_(std::move(file)), output_(std::move(output)), options_(std::move(options)),
      asksPassword_(asksPassword), showsProgress_(isatty(STDERR_FILENO) != 0) {
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
        std::optional<QString> password;
        if (asksPassword_ && OCRPipeline::requiresPassword(file_)) {
            password = readPassword(QStringLiteral("Password for %1: ").arg(shown(QFileInfo(file_).fileName(), stderr)));
        }
        pipeline_.process(file_, output_, options_, password);
    });
}

void DocumentRunner::interrupt() {
    print(stderr, QStringLiteral("\nInterrupted: finishing the document in progress…\n"));
}

void DocumentRunner::showPhase(const Phase& phase) {
    if (!showsProgress_) {
        return;
    }
    const QString text = phase.progressText();
    print(stderr, QStringLiteral("\r\033[K") +
                      (text.isEmpty() ? QString() : shown(QFileInfo(file_).fileName(), stderr) + ": " + text));
}

void DocumentRunner::report() {
    const Phase& phase = pipeline_.phase();
    if (phase.kind != Phase::Kind::done) {
        failed_ = true;
        print(stderr, QStringLiteral("quorvane-cli: %1: %2\n").arg(shown(file_, stderr), shown(phase.message, stderr)));
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
}

} // namespace quorvane::cli
