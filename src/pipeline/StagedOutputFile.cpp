#include "pipeline/StagedOutputFile.h"

#include "core/OCRError.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

namespace {

QString fileSystemError(const QString& what, const QString& path, int error) {
    return QStringLiteral("%1 \"%2\": %3").arg(what, QFileInfo(path).fileName(), qt_error_string(error));
}

// The longest file name the usual Linux file systems take, in bytes.
constexpr qsizetype longestFileName = 255;

} // namespace

StagedOutputFile::StagedOutputFile(QString outputPath) : outputPath_(std::move(outputPath)) {
    const QFileInfo output(outputPath_);
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString suffix = QStringLiteral(".") + uuid + QStringLiteral(".tmp.pdf");
    // The hidden name is 46 characters longer than the output's base name; an output name that
    // the folder accepts must not fail for its hidden companion, so a long base name is shortened.
    QString base = output.completeBaseName();
    while (!base.isEmpty() &&
           QFile::encodeName(QStringLiteral(".") + base + suffix).size() > longestFileName) {
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() ? 2 : 1);
    }
    temporaryPath_ = output.absolutePath() + QStringLiteral("/.") + base + suffix;
}

StagedOutputFile::~StagedOutputFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
    QFile::remove(temporaryPath_);
}

bool StagedOutputFile::create() {
    const QByteArray path = QFile::encodeName(temporaryPath_);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        ::close(fd);
        QFile::remove(temporaryPath_);
        return false;
    }
    return true;
}

void StagedOutputFile::close() {
    if (stream_ == nullptr) {
        return;
    }
    FILE* stream = stream_;
    stream_ = nullptr;
    // Flushed and synced before the rename, so the output is never a name for incomplete data.
    const bool written = std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
    int error = errno;
    const bool closed = std::fclose(stream) == 0;
    if (written) {
        error = errno;
    }
    if (!written || !closed) {
        throw PlatformError(fileSystemError(QStringLiteral("Could not write"), outputPath_, error));
    }
}

void StagedOutputFile::commit() {
    if (QFileInfo::exists(outputPath_)) {
        QFile::setPermissions(temporaryPath_, QFile::permissions(outputPath_));
    }
    // rename() replaces an existing output atomically: readers see the old file or the new one.
    if (std::rename(QFile::encodeName(temporaryPath_).constData(),
                    QFile::encodeName(outputPath_).constData()) != 0) {
        const int error = errno;
        throw PlatformError(fileSystemError(QStringLiteral("Could not put the searchable PDF in place as"),
                                            outputPath_, error));
    }
}

} // namespace quorvane
