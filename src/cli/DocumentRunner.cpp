#include "cli/DocumentRunner.h"

#include "cli/PasswordPrompt.h"
#include "pipeline/OutputPath.h"
#include "pipeline/ResultLines.h"

#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace quorvane::cli {

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

DocumentRunner::DocumentRunner(CommandLine commandLine, QStringList files, QObject* parent)
    : QObject(parent), commandLine_(std::move(commandLine)), files_(std::move(files)),
      showsProgress_(isatty(STDERR_FILENO) != 0) {
    connect(&pipeline_, &OCRPipeline::phaseChanged, this, &DocumentRunner::showPhase);
    connect(&pipeline_, &OCRPipeline::isRunningChanged, this, [this](bool running) {
        if (!running) {
            report();
            // Let the pipeline finish its own bookkeeping before the next run starts.
            QTimer::singleShot(0, this, &DocumentRunner::startNext);
        }
    });
}

void DocumentRunner::start() { QTimer::singleShot(0, this, &DocumentRunner::startNext); }

void DocumentRunner::startNext() {
    if (next_ >= files_.size()) {
        Q_EMIT finished();
        return;
    }
    current_ = files_[next_++];
    currentOutput_ = OutputPath::outputURL(current_, commandLine_.outputFolder, commandLine_.nameTemplate);

    std::optional<QString> password;
    if (commandLine_.asksPassword && OCRPipeline::requiresPassword(current_)) {
        password = readPassword(QStringLiteral("Password for %1: ").arg(QFileInfo(current_).fileName()));
    }
    pipeline_.process(current_, currentOutput_, commandLine_.options, password);
}

void DocumentRunner::showPhase(const Phase& phase) {
    if (!showsProgress_) {
        return;
    }
    const QString text = phase.progressText();
    print(stderr, QStringLiteral("\r\033[K") + (text.isEmpty() ? QString() : QFileInfo(current_).fileName() + ": " + text));
}

void DocumentRunner::report() {
    const Phase& phase = pipeline_.phase();
    if (phase.kind == Phase::Kind::failed) {
        reportFailure(current_, phase.message);
        return;
    }
    QString text = phase.summary.outputURL ? current_ + QStringLiteral(" -> ") + *phase.summary.outputURL : current_;
    text += QLatin1Char('\n');
    for (const auto& line : ResultLines::lines(phase.summary)) {
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    }
    if (phase.summary.sidecarURL) {
        text += QStringLiteral("  Text copy: ") + *phase.summary.sidecarURL + QLatin1Char('\n');
    }
    print(stdout, text);
}

void DocumentRunner::reportFailure(const QString& file, const QString& message) {
    failures_ += 1;
    print(stderr, QStringLiteral("quorvane-cli: %1: %2\n").arg(file, message));
}

} // namespace quorvane::cli
