#pragma once

// The batch report: one row per queued file, as CSV for spreadsheets or JSON for scripts.

#include "jobs/BatchItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace quorvane::ReportExporter {

enum class Format { csv, json };

inline constexpr Format allFormats[] = {Format::csv, Format::json};

QString rawValue(Format format);     // "csv", "json"
QString title(Format format);        // "CSV", "JSON": the raw value upper-cased
QString fileExtension(Format format); // "csv", "json"

struct Row {
    QString source;
    QString status; // "pending", "processed", "already-searchable", "failed", "skipped-existing", "cancelled"
    int processedPages = 0;
    int skippedPages = 0;
    std::optional<double> averageConfidence;
    int lowConfidencePages = 0;
    int lowDPIPages = 0;
    int rotatedPages = 0;
    int deskewedPages = 0;
    int perspectiveCorrectedPages = 0;
    std::optional<QString> output;
    std::optional<QString> sidecar;
    std::optional<QString> error;
    std::optional<QString> errorKind; // with an error that is an OCRError: its case, e.g. "passwordRequired"

    bool operator==(const Row&) const = default;
};

struct Report {
    QString generatedAt; // ISO 8601, UTC, e.g. 2026-03-01T09:15:00Z
    QList<Row> documents;
};

Row row(const BatchItem& item);
QList<Row> rows(const QList<BatchItem>& items);

// "2026-03-01T09:15:00Z": UTC, whole seconds.
QString isoDate(const QDateTime& date);

QByteArray csv(const QList<Row>& rows);
// Throws PlatformError when a confidence is not a finite number (JSON has no way to write it).
QByteArray json(const Report& report);

// The file's bytes for the items in queue order, generated at `date`. Throws PlatformError for JSON
// as `json` does.
QByteArray data(Format format, const QList<BatchItem>& items, const QDateTime& date);

// Writes the report to `path`, replacing any file there only once the new one is complete.
// Throws PlatformError with a readable message when it cannot be written.
void write(const QString& path, Format format, const QList<BatchItem>& items, const QDateTime& date);

// "Quorvane Report.csv", "Quorvane Report.json".
QString defaultFileName(Format format);

} // namespace quorvane::ReportExporter
