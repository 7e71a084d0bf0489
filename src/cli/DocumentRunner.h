#pragma once

// Runs documents one after another on one pipeline and prints how each turned out.

#include "cli/CommandLine.h"
#include "pipeline/OCRPipeline.h"

#include <QObject>
#include <QStringList>
#include <optional>

namespace quorvane::cli {

class DocumentRunner : public QObject {
    Q_OBJECT

public:
    DocumentRunner(CommandLine commandLine, QStringList files, QObject* parent = nullptr);

    void start();
    // 0 when every document is done, 1 when any failed.
    int exitCode() const { return failures_ > 0 ? 1 : 0; }

Q_SIGNALS:
    void finished();

private:
    void startNext();
    void showPhase(const Phase& phase);
    void report();
    void reportFailure(const QString& file, const QString& message);

    CommandLine commandLine_;
    QStringList files_;
    int next_ = 0;
    QString current_;
    QString currentOutput_;
    int failures_ = 0;
    bool showsProgress_ = false;
    OCRPipeline pipeline_;
};

} // namespace quorvane::cli
