#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>

namespace quorvane::test {

QString corpusPath(const QString& name) { return QStringLiteral(QUORVANE_CORPUS_DIR "/") + name; }

QString readTextFile(const QString& path) { return QString::fromUtf8(readBytes(path)); }

QString binPath(const QString& program) { return QStringLiteral(QUORVANE_BIN_DIR "/") + program; }

ProcessResult runProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                         int timeoutMs, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted()) {
        return result;
    }
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    return result;
}

namespace {

QHash<QString, int> wordCounts(const QString& text) {
    static const QRegularExpression word(QStringLiteral("[\\p{L}\\p{N}]{3,}"));
    QHash<QString, int> counts;
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        counts[it.next().captured().toLower()] += 1;
    }
    return counts;
}

} // namespace

double wordRecall(const QString& text, const QString& truth) {
    const auto got = wordCounts(text);
    const auto wanted = wordCounts(truth);
    int total = 0, hit = 0;
    for (auto it = wanted.begin(); it != wanted.end(); ++it) {
        total += it.value();
        hit += std::min(it.value(), got.value(it.key()));
    }
    return total == 0 ? 0.0 : double(hit) / total;
}

OCROptions englishOnly(OCRRecognitionLevel level) {
    OCROptions options;
    options.recognitionLevel = level;
    options.languages = {QStringLiteral("en-US")};
    options.automaticallyDetectsLanguage = false;
    return options;
}

OCROptions recognitionOnly() {
    OCROptions options = englishOnly();
    options.preprocessing = PreprocessStrength::off;
    options.autoRotate = options.deskew = options.perspective = false;
    return options;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QStringList filesUnder(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();) {
        files << it.next();
    }
    return files;
}

QStringList fileNames(const QStringList& paths) {
    QStringList names;
    for (const auto& path : paths) {
        names.append(QFileInfo(path).fileName());
    }
    return names;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ScopedEnvironment::ScopedEnvironment(const char* name, const QByteArray& value)
    : name(name), saved(qgetenv(name)), wasSet(qEnvironmentVariableIsSet(name)) {
    set(value);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (wasSet) {
        qputenv(name, saved);
    } else {
        qunsetenv(name);
    }
}

} // namespace quorvane::test
