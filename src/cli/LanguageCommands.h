#pragma once

// What quorvane-cli tells about recognition languages: which ones are installed, and what to
// install for the others.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvane::cli {

// The catalog, one language a line with its Tesseract code and whether its data is installed;
// the languages of `inUse` (a run's, in order) marked.
QString languageListing(const QStringList& inUse);

// Why a run cannot recognise `tags` (catalog tags): the ones whose Tesseract data is missing,
// with the Debian packages that bring it. Nothing when all are installed.
std::optional<QString> missingLanguages(const QStringList& tags);

} // namespace quorvane::cli
