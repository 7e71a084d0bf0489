#pragma once

// The batch report quorvane-cli writes with --report: checked before any work, written at the end.

#include "jobs/BatchItem.h"

#include <QList>
#include <QString>
#include <optional>

namespace quorvane::cli::ReportFile {

// Why no report can be written at `path`: not a .csv or .json name, a folder that does not exist
// or cannot be written, or a folder in its place. Nothing when it can be.
std::optional<QString> problem(const QString& path);

// Writes the report of `items`, CSV or JSON as the name ends; the reason when it cannot.
std::optional<QString> write(const QString& path, const QList<BatchItem>& items);

} // namespace quorvane::cli::ReportFile
