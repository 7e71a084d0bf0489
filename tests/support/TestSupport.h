#pragma once

// Helpers shared by the tests: corpus files, scratch folders, running programs, word recall.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quorvane::test {

// A file of the shared real-world corpus (read-only).
QString corpusPath(const QString& name);
QString readTextFile(const QString& path);

// Built programs, e.g. binPath("quorvane-cli").
QString binPath(const QString& program);

struct ProcessResult {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
    bool finished = false; // false when it crashed or timed out
};

// Runs a program to completion (at most `timeoutMs`), optionally feeding `input` on stdin.
ProcessResult runProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                         int timeoutMs = 300000);

// The fraction of the truth's words (letters and digits, three or more, case-insensitive, each
// occurrence counted once) found in `text`.
double wordRecall(const QString& text, const QString& truth);

// Text that pdftotext extracts from a PDF (all pages, or one 1-based page).
QString pdfText(const QString& pdfPath, int page = 0);

// The names of the files in a folder, hidden ones included.
QStringList filesIn(const QString& folder);

} // namespace quorvane::test
