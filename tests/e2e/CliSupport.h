#pragma once

// Running quorvane-cli in the end-to-end tests, each run with its own temporary folder so that
// leftovers can be seen.

#include "support/TestSupport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

// Runs quorvane-cli in a pseudo-terminal of `columns` x `rows` (through script(1)); what it wrote
// there is in standardOutput, with the terminal's line endings.
ProcessResult runCliInTerminal(const QStringList& arguments, int columns, int rows);
// The arguments of `script` that run quorvane-cli with `arguments` on a terminal of that size.
QStringList inTerminal(const QStringList& arguments, int columns = 80, int rows = 24);

// The rows a terminal holds, scrollback included, after showing `output`: text, carriage
// returns, line feeds, and the cursor-up, erase-below and erase-line sequences. Rows are not
// wrapped: a row longer than the terminal is as long as it was written.
QStringList terminalRows(const QString& output);

// Whether `text` contains `part`; when not, the failure shows the whole text.
::testing::AssertionResult says(const QString& text, const QString& part);

// Where a run with the default name template writes the searchable copy of `source` in `folder`.
QString searchableOutput(const QString& folder, const QString& source);

// A prefix for runCli that runs it as an unprivileged user when we are root, whom permission
// bits do not stop.
QStringList asNobodyWhenRoot();

// Twenty pages of linn.pdf: far longer to recognise than any test waits for.
bool writeLongDocument(const QString& path);

// Copies a corpus file into `folder` and returns the copy's path.
QString copyCorpusFile(const QString& name, const QString& folder);

} // namespace quorvane::test
