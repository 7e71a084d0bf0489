#pragma once

// Turns one source file (a PDF or an image) into one searchable PDF. Its outcome is its final
// phase: done with a summary, or failed with the message the user sees.

#include "core/OCRError.h"
#include "core/OCROptions.h"
#include "core/TextRecognizer.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

struct DocumentSummary {
    // How the copy is protected: like its source, with the same passwords and permissions.
    enum class Protection { none, permissions, password };

    std::optional<QString> outputURL;   // absent when every page already had text
    std::optional<QString> sidecarURL;
    std::optional<QString> sidecarError;
    QStringList omissions;              // what of the source the written copy lacks, and why
    int processedPages = 0;
    int skippedPages = 0;
    float averageConfidence = 0;
    int lowConfidencePages = 0;
    int lowDPIPages = 0;
    int rotatedPages = 0;
    int deskewedPages = 0;
    int perspectiveCorrectedPages = 0;
    Protection protection = Protection::none;
    bool sourceSigned = false; // its signature covers the source only: readers flag it on the copy

    // What the written copy lacks, one readable line each: the text copy that could not be saved,
    // then the omissions. Empty when the copy is complete.
    QStringList problems() const;
    bool operator==(const DocumentSummary&) const = default;
};

struct Phase {
    enum class Kind { recognizing, done, failed, idle, preparing, writing };

    Kind kind = Kind::idle;
    int currentPage = 0; // recognizing: 1-based
    int totalPages = 0;  // recognizing
    DocumentSummary summary; // done
    QString message;     // failed
    std::optional<OCRError::Kind> errorKind; // failed: the OCRError's kind; none for other errors

    static Phase idle() { return {}; }
    static Phase preparing() { return withKind(Kind::preparing); }
    static Phase writing() { return withKind(Kind::writing); }
    static Phase recognizing(int currentPage, int totalPages) {
        Phase phase = withKind(Kind::recognizing);
        phase.currentPage = currentPage;
        phase.totalPages = totalPages;
        return phase;
    }
    static Phase done(const DocumentSummary& summary) {
        Phase phase = withKind(Kind::done);
        phase.summary = summary;
        return phase;
    }
    static Phase failed(const QString& message, std::optional<OCRError::Kind> errorKind = std::nullopt) {
        Phase phase = withKind(Kind::failed);
        phase.message = message;
        phase.errorKind = errorKind;
        return phase;
    }
    static Phase failed(const OCRError& error) { return failed(error.description(), error.kind()); }

    // The progress text the user sees ("Recognizing page 3 of 12…"); empty for done and failed.
    QString progressText() const;

    bool operator==(const Phase&) const = default;

private:
    static Phase withKind(Kind kind) {
        Phase phase;
        phase.kind = kind;
        return phase;
    }
};

struct DocumentAttributes;
namespace TextLayerWriter {
struct PageInput;
}

class OCRPipeline : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)

public:
    static constexpr float lowConfidenceThreshold = 0.5f;
    static constexpr double lowDPIThreshold = 300.0;
    static inline const QString cancelledMessage = QStringLiteral("Stopped before it was finished; nothing was written.");

    // Every page of every run is recognised with `recognizer`.
    explicit OCRPipeline(std::shared_ptr<const TextRecognizer> recognizer, QObject* parent = nullptr);
    ~OCRPipeline() override;

    const std::shared_ptr<const TextRecognizer>& recognizer() const { return recognizer_; }
    const Phase& phase() const { return phase_; }
    bool isRunning() const { return isRunning_; }

    // Starts a run and returns; the outcome is the final phase, reached when isRunning turns
    // false. Ignored while a run is in progress.
    void process(const QString& source, const QString& output, const OCROptions& options,
                 const std::optional<QString>& password = std::nullopt);

    // Stops handing out pages: once the pages in flight are back, nothing is written, the run's
    // temporary files are removed, and it ends as failed with cancelledMessage. A run that is
    // already writing its output finishes.
    void cancel();
    // Whether the last run ended because cancel() stopped it.
    bool wasCancelled() const { return wasCancelled_; }

    // True when the PDF is locked and the empty password does not open it.
    static bool requiresPassword(const QString& path);

    // The plain-text copy of the pages: each page's text in page order, one empty line between.
    static QByteArray sidecarText(const std::vector<TextLayerWriter::PageInput>& pages);
    // Writes it next to the output (same base name, ".txt") and returns its path. A file already
    // there is replaced only as the text copy of `earlierOutput`, the copy that the output
    // replaced (none when there was none), or as one that copy left beside itself. Throws
    // PlatformError when it cannot be written.
    static QString writeTextSidecar(const QByteArray& text, const QString& output, mode_t permissions,
                                    const std::optional<DocumentAttributes>& earlierOutput);

Q_SIGNALS:
    void phaseChanged(const quorvane::Phase& phase);
    void isRunningChanged(bool isRunning);

private:
    struct Run;

    static void prepare(Run& run);
    void setPhase(const Phase& phase);
    void setRunning(bool running);
    void handOutPages();
    void lookAtPage(int index);
    void recognizePage(const struct PageLook& look);
    void pageReturned();
    void takeFinishedPages();
    void storePage(const PageLook& look, const struct PageOutcome& outcome);
    void endPages();
    void writeOutput();
    void finish(const Phase& outcome);

    bool stopIfCancelled();

    Phase phase_;
    bool isRunning_ = false;
    bool wasCancelled_ = false;
    bool handingOutPages_ = false;
    std::shared_ptr<const TextRecognizer> recognizer_;
    std::shared_ptr<const TextRecognizer> pageRecognizer_; // recognizer_ within the process's slots
    std::shared_ptr<Run> run_;
};

} // namespace quorvane
