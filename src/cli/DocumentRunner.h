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
    DocumentRunner(QString file, QString output, OCROptions options, bool asksPassword, QObject* parent = nullptr);

    void start();
    // The first Ctrl-C: the document is finished first. The second: as stop().
    void interrupt();
    // SIGTERM: the document stops at once, leaving no output.
    void stop();
    // 0 when the document is done and complete; 1 when it failed or was stopped, or when what was
    // written lacks something (the text copy, the outline).
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
    bool failed_ = false;
    bool showsProgress_ = false;
    bool interrupted_ = false;
    bool stopping_ = false;
    OCRPipeline pipeline_;
};

} // namespace quorvane::cli
