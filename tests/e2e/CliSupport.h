#pragma once

// Running quorvane-cli in the end-to-end tests, each run with its own temporary folder so that
// leftovers can be seen.

#include "support/TestSupport.h"

#include <QStringList>
#include <QTemporaryDir>

namespace quorvane::test {

struct CliRun {
    ProcessResult result;
    QStringList leftoverTemporaryFiles; // what the run left in its temporary folder
};

// English only, and recognition alone: no turning, deskewing or perspective correction.
extern const QStringList englishOnlyArguments;
extern const QStringList plainRecognition;

// `prefix` runs the program through another one (e.g. setpriv) when not empty.
CliRun runCli(const QStringList& arguments, const QByteArray& input = {}, const QStringList& prefix = {});

// Where a run with the default name template writes the searchable copy of `source` in `folder`.
QString searchableOutput(const QString& folder, const QString& source);

// Copies a corpus file into `folder` and returns the copy's path.
QString copyCorpusFile(const QString& name, const QString& folder);

} // namespace quorvane::test
