#pragma once

// Where a searchable copy goes and what it is called, and the rule that it never replaces its
// source.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::OutputPath {

inline const QString defaultTemplate = QStringLiteral("{name}_searchable");

// The placeholders a name template may hold.
inline const QStringList templateTokens = {QStringLiteral("{name}"), QStringLiteral("{date}")};

// Why a template cannot name outputs: a token other than {name} and {date}, or no {name}, so
// that every source would get the same output name. An empty template is fine: it gives the
// default name.
std::optional<QString> templateProblem(const QString& nameTemplate);
// Why a usable template is still risky: "{name}" alone (or "{name}.pdf") names a PDF's output after
// the PDF.
std::optional<QString> templateWarning(const QString& nameTemplate);

// The output file name for a source path, a name template ("{name}", "{date}") and a date.
QString fileName(const QString& sourcePath, const QString& nameTemplate, const QDateTime& date);

// A file name as outputs are compared: lower case, every date ("2026-03-01") alike. A file whose
// nameKey() is the outputNameKey() of a source is, on some date, that source's output.
QString nameKey(const QString& name);
QString outputNameKey(const QString& sourcePath, const QString& nameTemplate);

// The output path: `folder` (or the source's own folder) plus fileName() for now.
QString outputURL(const QString& sourcePath, const std::optional<QString>& folder, const QString& nameTemplate);

// Where an output's text copy goes: beside it, with its base name and ".txt".
QString textCopyPath(const QString& output);

// The folder of a source's output when the folders searched (`roots`) are mirrored under
// `outputFolder`: for a source inside a root, the same subfolder of `outputFolder`;
// `outputFolder` otherwise (none: next to the source).
std::optional<QString> mirroredFolder(const QString& sourcePath, const std::optional<QString>& outputFolder,
                                      const QStringList& roots);

// True when writing `b` would replace `a`: same path after resolving ".", ".." and symbolic
// links, the same path in another letter case, or the same file identity.
bool isSameFile(const QString& a, const QString& b);

} // namespace quorvane::OutputPath
