#pragma once

// Runs one document on its own pipeline, with a password when it needs one, and prints how it
// turned out.

#include "core/OCROptions.h"
#include "pipeline/OCRPipeline.h"

#include <QObject>
#include <QString>
#include <optional>

namespace quorvane::cli {

class DocumentRunner : public QObject {
    Q_OBJECT

public:
    // With `reportPath`, the document's outcome is also written there as a one-row batch report.
    DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword,
                   std::optional<QString> reportPath = std::nullopt, QObject* parent = nullptr);

    void start();
    // Ctrl-C: a started document cannot be stopped halfway; it is finished first.
    void interrupt();
    // 0 when the document is done, 1 when it failed.
    int exitCode() const { return failed_ ? 1 : 0; }

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
    bool failed_ = false;
    bool showsProgress_ = false;
    OCRPipeline pipeline_;
};

} // namespace quorvane::cli
