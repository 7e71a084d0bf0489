#pragma once

// Helpers shared by the tests: corpus files, running programs, word recall, English options.

#include "core/OCROptions.h"

#include <QProcessEnvironment>
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

// Runs a program to completion (at most `timeoutMs`), optionally feeding `input` on stdin, in
// this process's environment or the one given.
ProcessResult runProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                         int timeoutMs = 300000,
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The fraction of the truth's words (letters and digits, three or more, case-insensitive, each
// occurrence counted once) found in `text`.
double wordRecall(const QString& text, const QString& truth);

// Recognition in English only, without script detection: what most tests need.
OCROptions englishOnly(OCRRecognitionLevel level = OCRRecognitionLevel::accurate);
// And nothing but recognition: no cleaning, turning, deskewing or perspective correction.
OCROptions recognitionOnly();

// The names of the files in a folder, hidden ones included.
QStringList filesIn(const QString& folder);
// The paths of the files in a folder and all its subfolders, hidden ones included.
QStringList filesUnder(const QString& folder);
// The paths' file names, without their folders.
QStringList fileNames(const QStringList& paths);

// A file's bytes (empty when it cannot be read), and a file made (or replaced) with these bytes.
QByteArray readBytes(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes = {});

// An environment variable set for the lifetime of this object, then put back as it was.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value);
    ~ScopedEnvironment();
    void set(const QByteArray& value) const { qputenv(name, value); }

private:
    const char* name;
    QByteArray saved;
    bool wasSet;
};

} // namespace quorvane::test
