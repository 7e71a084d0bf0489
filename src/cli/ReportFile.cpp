#include "cli/ReportFile.h"

#include "jobs/ReportExporter.h"
#include "platform/FileNames.h"

#include <QDateTime>
#include <QFileInfo>

namespace quorvane::cli::ReportFile {

namespace {

std::optional<ReportExporter::Format> formatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv")) {
        return ReportExporter::Format::csv;
    }
    if (suffix == QLatin1String("json")) {
        return ReportExporter::Format::json;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> problem(const QString& path) {
    const QString report = FileNames::absolute(path);
    const QString folder = QFileInfo(report).path();
    if (!formatOf(path)) {
        return QStringLiteral("--report needs a file name ending in .csv or .json.");
    }
    if (!FileNames::isDirectory(folder)) {
        return QStringLiteral("--report: the folder \"%1\" does not exist.").arg(folder);
    }
    if (FileNames::isDirectory(report)) {
        return QStringLiteral("--report: \"%1\" is a folder.").arg(path);
    }
    if (!FileNames::isWritable(folder) || (FileNames::exists(report) && !FileNames::isWritable(report))) {
        return QStringLiteral("--report: \"%1\" cannot be written here.").arg(path);
    }
    return std::nullopt;
}

std::optional<QString> write(const QString& path, const QList<BatchItem>& items) {
    try {
        ReportExporter::write(path, formatOf(path).value_or(ReportExporter::Format::csv), items,
                              QDateTime::currentDateTime());
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace quorvane::cli::ReportFile
