#pragma once

// Turns one source file (a PDF or an image) into one searchable PDF. Its outcome is its final
// phase: done with a summary, or failed with the message the user sees.

#include "core/OCROptions.h"
#include "core/TesseractOCRService.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace quorvane {

struct DocumentSummary {
    std::optional<QString> outputURL;   // absent when every page already had text
    std::optional<QString> sidecarURL;
    std::optional<QString> sidecarError;
    int processedPages = 0;
    int skippedPages = 0;
    float averageConfidence = 0;
    int lowConfidencePages = 0;
    int lowDPIPages = 0;
    int rotatedPages = 0;
    int deskewedPages = 0;
    int perspectiveCorrectedPages = 0;

    bool hasLowConfidencePages() const { return lowConfidencePages > 0; }
    bool hasLowResolutionPages() const { return lowDPIPages > 0; }
    bool operator==(const DocumentSummary&) const = default;
};

struct Phase {
    enum class Kind { recognizing, done, failed, idle, preparing, writing };

    Kind kind = Kind::idle;
    int currentPage = 0; // recognizing: 1-based
    int totalPages = 0;  // recognizing
    DocumentSummary summary; // done
    QString message;     // failed

    static Phase idle() { return {}; }
    static Phase preparing() { return {Kind::preparing, 0, 0, {}, {}}; }
    static Phase writing() { return {Kind::writing, 0, 0, {}, {}}; }
    static Phase recognizing(int currentPage, int totalPages) {
        return {Kind::recognizing, currentPage, totalPages, {}, {}};
    }
    static Phase done(const DocumentSummary& summary) { return {Kind::done, 0, 0, summary, {}}; }
    static Phase failed(const QString& message) { return {Kind::failed, 0, 0, {}, message}; }

    // The progress text the user sees ("Recognizing page 3 of 12…"); empty for done and failed.
    QString progressText() const;

    bool operator==(const Phase&) const = default;
};

} // namespace quorvane
