#include "cli/DocumentRunner.h"

#include "cli/PasswordPrompt.h"
#include "cli/ReportFile.h"
#include "cli/TerminalWording.h"
#include "cli/TerminalText.h"
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

DocumentRunner::DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword,
                               std::optional<QString> reportPath, QObject* parent)
    : QObject(parent), file_(std::move(file)), output_(std::move(output)), options_(std::move(options)),
      asksPassword_(asksPassword), reportPath_(std::move(reportPath)), showsProgress_(isatty(STDERR_FILENO) != 0) {
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
            password = readPassword(QStringLiteral("Password for %1: ").arg(QFileInfo(file_).fileName()));
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
    // One line, cut to the terminal's width: a wrapped one would not be cleared by the next.
    const QString line = text.isEmpty() ? QString() : QFileInfo(file_).fileName() + ": " + text;
    print(stderr, QStringLiteral("\r\033[K") +
                      TerminalText::fitted(line, TerminalText::columns(STDERR_FILENO) - 1));
}

void DocumentRunner::report() {
    const Phase& phase = pipeline_.phase();
    if (reportPath_) {
        BatchItem item = BatchItem::queued(file_);
        item.status = phase.kind == Phase::Kind::done ? ItemStatus::done(phase.summary) : ItemStatus::failed(phase.message);
        if (const auto error = ReportFile::write(*reportPath_, {item})) {
            failed_ = true;
            print(stderr, QStringLiteral("quorvane-cli: ") + *error + QLatin1Char('\n'));
        }
    }
    if (phase.kind != Phase::Kind::done) {
        failed_ = true;
        print(stderr, QStringLiteral("quorvane-cli: %1: %2\n").arg(file_, TerminalWording::failure(phase.message, true)));
        return;
    }
    QString text = phase.summary.outputURL ? file_ + QStringLiteral(" -> ") + *phase.summary.outputURL : file_;
    text += QLatin1Char('\n');
    for (const auto& line : ResultLines::lines(phase.summary)) {
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    }
    if (phase.summary.sidecarURL) {
        text += QStringLiteral("  Text copy: ") + *phase.summary.sidecarURL + QLatin1Char('\n');
    }
    print(stdout, text);
}

} // namespace quorvane::cli
