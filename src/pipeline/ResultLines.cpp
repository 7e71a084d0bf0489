#include "pipeline/ResultLines.h"

#include <cmath>

namespace quorvane::ResultLines {

QStringList lines(const DocumentSummary& summary) {
    QStringList result;
    if (summary.processedPages == 0) {
        result << QStringLiteral("Already searchable — every page has a text layer, so no new file was created.");
    } else {
        result << QStringLiteral("%1 page(s) recognized, %2 skipped (already had text).")
                      .arg(summary.processedPages)
                      .arg(summary.skippedPages);
    }
    if (summary.sidecarError) {
        result << QStringLiteral("The .txt copy could not be saved: ") + *summary.sidecarError;
    }
    for (const auto& omission : summary.omissions) {
        result << QStringLiteral("Incomplete copy: ") + omission + QLatin1Char('.');
    }
    switch (summary.protection) {
    case DocumentSummary::Protection::password:
        result << QStringLiteral("The searchable copy keeps the source's password and permissions.");
        break;
    case DocumentSummary::Protection::permissions:
        result << QStringLiteral("The searchable copy keeps the source's permissions.");
        break;
    case DocumentSummary::Protection::none: break;
    }
    if (summary.sourceSigned) {
        result << QStringLiteral("The source is digitally signed; the signature stays valid on the source only, "
                                 "so readers will show the copy's as invalid.");
    }
    if (summary.rotatedPages > 0) {
        result << QStringLiteral("%1 page(s) were sideways or upside-down and have been saved upright.")
                      .arg(summary.rotatedPages);
    }
    if (summary.perspectiveCorrectedPages > 0) {
        result << QStringLiteral("%1 page(s) were captured at an angle and have been straightened.")
                      .arg(summary.perspectiveCorrectedPages);
    }
    if (summary.lowDPIPages > 0) {
        result << QStringLiteral("%1 page(s) appear below 300 DPI — OCR accuracy will suffer.").arg(summary.lowDPIPages);
    }
    if (summary.lowConfidencePages > 0) {
        const int threshold = static_cast<int>(std::lround(OCRPipeline::lowConfidenceThreshold * 100));
        result << QStringLiteral("%1 page(s) scored below %2% confidence — worth a quick check.")
                      .arg(summary.lowConfidencePages)
                      .arg(threshold);
    } else if (summary.averageConfidence > 0) {
        result << QString::asprintf("Mean confidence %.0f%%.", double(summary.averageConfidence) * 100);
    }
    return result;
}

} // namespace quorvane::ResultLines
