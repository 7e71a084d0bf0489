#pragma once

// Runs one document on its own pipeline, with a password when it needs one, and prints how it
// turned out.

#include "core/OCROptions.h"
#include "core/TextRecognizer.h"
#include "jobs/BatchItem.h"
#include "pipeline/OCRPipeline.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace quorvane::cli {

class DocumentRunner : public QObject {
    Q_OBJECT

public:
    // With `reportPath`, the document's outcome is also written there as a batch report's row,
    // followed by the rows of the `refused` inputs.
    DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword,
                   std::optional<QString> reportPath, QList<BatchItem> refused,
                   std::shared_ptr<const TextRecognizer> recognizer, QObject* parent = nullptr);

    void start();
    // The first Ctrl-C: the document is finished first. The second: as stop().
    void interrupt();
    // SIGTERM: the document stops at once, leaving no output.
    void stop();
    // 0 when the document is done and complete, else the status of its failure (see ExitStatus);
    // 1 when what was written lacks something (the text copy, the outline).
    int exitCode() const { return exitCode_; }

Q_SIGNALS:
    void finished();

private:
    void showPhase(const Phase& phase);
    void report();

    QString file_;
    QString output_;
    OCROptions options_;
    bool asksPassword_ = false;
    std::optional<QString> reportPath_;
    QList<BatchItem> refused_;
    int exitCode_ = 0;
    bool showsProgress_ = false;
    bool interrupted_ = false;
    bool stopping_ = false;
    OCRPipeline pipeline_;
};

} // namespace quorvane::cli
