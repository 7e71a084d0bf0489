#include "jobs/ReportExporter.h"

#include "core/OCRError.h"
#include "jobs/PrettyJSON.h"
#include "pipeline/StagedOutputFile.h"
#include "platform/FileNames.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTimeZone>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quorvane::ReportExporter {

QString rawValue(Format format) {
    return format == Format::json ? QStringLiteral("json") : QStringLiteral("csv");
}

QString title(Format format) { return rawValue(format).toUpper(); }

QString fileExtension(Format format) { return rawValue(format); }

namespace {

// A report is UTF-8 text: a name's bytes that are not UTF-8 are written as "\xFF", not lost.
std::optional<QString> shownPath(const std::optional<QString>& path) {
    return path ? std::optional(FileNames::shown(*path)) : std::nullopt;
}

} // namespace

Row row(const BatchItem& item) {
    Row row;
    row.source = FileNames::shown(item.sourceURL);
    const auto& status = item.status;
    switch (status.kind) {
    case ItemStatus::Kind::pending:
    case ItemStatus::Kind::processing: row.status = QStringLiteral("pending"); break;
    case ItemStatus::Kind::done: {
        const auto& summary = status.summary;
        const bool processed = summary.processedPages > 0;
        row.status = processed ? QStringLiteral("processed") : QStringLiteral("already-searchable");
        row.processedPages = summary.processedPages;
        row.skippedPages = summary.skippedPages;
        if (processed) {
            row.averageConfidence = static_cast<double>(summary.averageConfidence);
        }
        row.lowConfidencePages = summary.lowConfidencePages;
        row.lowDPIPages = summary.lowDPIPages;
        row.rotatedPages = summary.rotatedPages;
        row.deskewedPages = summary.deskewedPages;
        row.perspectiveCorrectedPages = summary.perspectiveCorrectedPages;
        row.output = shownPath(summary.outputURL);
        row.sidecar = shownPath(summary.sidecarURL);
        if (const QStringList problems = summary.problems(); !problems.isEmpty()) {
            row.error = problems.join(QStringLiteral("; ")); // the PDF is there, but incomplete
        }
        break;
    }
    case ItemStatus::Kind::failed:
        row.status = QStringLiteral("failed");
        row.error = status.message;
        if (status.errorKind) {
            row.errorKind = OCRError::kindName(*status.errorKind);
        }
        break;
    case ItemStatus::Kind::skippedExisting:
        row.status = QStringLiteral("skipped-existing");
        row.output = shownPath(status.output);
        break;
    case ItemStatus::Kind::cancelled: row.status = QStringLiteral("cancelled"); break;
    }
    return row;
}

QList<Row> rows(const QList<BatchItem>& items) {
    QList<Row> result;
    result.reserve(items.size());
    for (const auto& item : items) {
        result.append(row(item));
    }
    return result;
}

QString isoDate(const QDateTime& date) {
    return date.toTimeZone(QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

namespace {

QString escaped(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    auto quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString escaped(const std::optional<QString>& text) { return text ? escaped(*text) : QString(); }

QJsonObject jsonObject(const Row& row) {
    QJsonObject object{
        {"source", row.source},
        {"status", row.status},
        {"processedPages", row.processedPages},
        {"skippedPages", row.skippedPages},
        {"lowConfidencePages", row.lowConfidencePages},
        {"lowDPIPages", row.lowDPIPages},
        {"rotatedPages", row.rotatedPages},
        {"deskewedPages", row.deskewedPages},
        {"perspectiveCorrectedPages", row.perspectiveCorrectedPages},
    };
    // Absent values are left out rather than written as null.
    if (row.averageConfidence) {
        if (!std::isfinite(*row.averageConfidence)) {
            throw PlatformError(QStringLiteral("The report could not be written as JSON: the average "
                                               "confidence of %1 is not a number.")
                                    .arg(row.source));
        }
        object.insert(QStringLiteral("averageConfidence"), *row.averageConfidence);
    }
    if (row.output) {
        object.insert(QStringLiteral("output"), *row.output);
    }
    if (row.sidecar) {
        object.insert(QStringLiteral("sidecar"), *row.sidecar);
    }
    if (row.error) {
        object.insert(QStringLiteral("error"), *row.error);
    }
    if (row.errorKind) {
        object.insert(QStringLiteral("errorKind"), *row.errorKind);
    }
    return object;
}

} // namespace

QByteArray csv(const QList<Row>& rows) {
    QStringList lines{QStringLiteral("source,status,processedPages,skippedPages,averageConfidence,"
                                     "lowConfidencePages,lowDPIPages,rotatedPages,deskewedPages,"
                                     "perspectiveCorrectedPages,output,sidecar,error,errorKind")};
    for (const auto& row : rows) {
        // QString::asprintf formats "%.4f" with a full stop whatever the user's locale.
        const auto confidence =
            row.averageConfidence ? QString::asprintf("%.4f", *row.averageConfidence) : QString();
        lines.append(QStringList{escaped(row.source), escaped(row.status),
                                 QString::number(row.processedPages), QString::number(row.skippedPages),
                                 confidence, QString::number(row.lowConfidencePages),
                                 QString::number(row.lowDPIPages), QString::number(row.rotatedPages),
                                 QString::number(row.deskewedPages),
                                 QString::number(row.perspectiveCorrectedPages), escaped(row.output),
                                 escaped(row.sidecar), escaped(row.error), escaped(row.errorKind)}
                         .join(QLatin1Char(',')));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QByteArray json(const Report& report) {
    QJsonArray documents;
    for (const auto& row : report.documents) {
        documents.append(jsonObject(row));
    }
    return PrettyJSON::write(QJsonObject{{"generatedAt", report.generatedAt}, {"documents", documents}});
}

QByteArray data(Format format, const QList<BatchItem>& items, const QDateTime& date) {
    if (format == Format::csv) {
        return csv(rows(items));
    }
    return json(Report{isoDate(date), rows(items)});
}

void write(const QString& path, Format format, const QList<BatchItem>& items, const QDateTime& date) {
    const auto bytes = data(format, items, date);
    // A report saved through a link goes where the link leads, and the link stays.
    QString target = path;
    if (char* resolved = ::realpath(FileNames::encode(path).constData(), nullptr)) {
        target = FileNames::decode(resolved);
        std::free(resolved);
    }
    // Not QSaveFile: it cannot name a file whose name is not UTF-8.
    StagedOutputFile file(target);
    if (!file.create()) {
        throw PlatformError(QStringLiteral("The report could not be saved to %1: %2")
                                .arg(FileNames::shown(path), qt_error_string(errno)));
    }
    file.pipeline().write(reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size()));
    file.close();
    file.commit();
}

QString defaultFileName(Format format) { return QStringLiteral("Quorvane Report.") + rawValue(format); }

} // namespace quorvane::ReportExporter
