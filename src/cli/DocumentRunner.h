#pragma once

// Runs one document on its own pipeline, with a password when it needs one, and prints how it
// turned out.

#include "core/OCROptions.h"
#include "core/TextRecognizer.h"
#include "pipeline/OCRPipeline.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace quorvane::cli {

class DocumentRunner : public QObject {
    Q_OBJECT

public:
    DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword,
                   std::shared_ptr<const TextRecognizer> recognizer, QObject* parent = nullptr);

    void start();
    // Ctrl-C: a started document cannot be stopped halfway; it is finished first.
    void interrupt();
    // 0 when the document is done, else the status of its failure (see ExitStatus).
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
    int exitCode_ = 0;
    bool showsProgress_ = false;
    OCRPipeline pipeline_;
};

} // namespace quorvane::cli
