#pragma once

// Running quorvane-cli in the end-to-end tests, each run with its own temporary folder so that
// leftovers can be seen.

#include "support/TestSupport.h"

#include <QProcess>
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

// The arguments of script(1) that run quorvane-cli with `arguments` in a pseudo-terminal of
// `columns` x `rows`; what it writes there comes out on script's output, with the terminal's line
// endings.
QStringList inTerminal(const QStringList& arguments, int columns = 80, int rows = 24);

// Reads a running program's output into `seen` until `text` shows up in it, the program ends or
// the limit passes; whether it showed up.
bool waitForOutput(QProcess& process, QString& seen, const QString& text, int limitMs = 120000);

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
