#include "pipeline/StagedOutputFile.h"

#include "core/OCRError.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// The longest file name the usual Linux file systems take, in bytes.
constexpr qsizetype longestFileName = 255;
constexpr qsizetype uuidLength = 36;

// ".tmp.pdf" for a PDF, ".tmp.txt" for a text copy.
QString stagingSuffix(const QString& outputPath) {
    return QStringLiteral(".tmp.") + QFileInfo(outputPath).suffix().toLower();
}

// The hidden name is 46 characters longer than the output's base name; an output name that the
// folder accepts must not fail for its hidden companion, so a long base name is shortened.
QString stagingBase(const QString& outputPath) {
    QString base = QFileInfo(outputPath).completeBaseName();
    const qsizetype extra = 2 + uuidLength + stagingSuffix(outputPath).size();
    while (!base.isEmpty() && FileNames::encode(QLatin1Char('.') + base).size() + extra > longestFileName) {
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() && base[base.size() - 2].isHighSurrogate() ? 2
                                                                                                                : 1);
    }
    return base;
}

} // namespace

StagedOutputFile::StagedOutputFile(QString outputPath) : outputPath_(std::move(outputPath)) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    temporaryPath_ = QFileInfo(outputPath_).absolutePath() + QStringLiteral("/.") + stagingBase(outputPath_) +
                     QLatin1Char('.') + uuid + stagingSuffix(outputPath_);
}

StagedOutputFile::~StagedOutputFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
    ::unlink(FileNames::encode(temporaryPath_).constData());
}

bool StagedOutputFile::isStagingNameOf(const QString& fileName, const QString& outputPath) {
    static const QRegularExpression uuid(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString prefix = QLatin1Char('.') + stagingBase(outputPath) + QLatin1Char('.');
    const QString suffix = stagingSuffix(outputPath);
    return fileName.size() == prefix.size() + uuidLength + suffix.size() && fileName.startsWith(prefix) &&
           fileName.endsWith(suffix) && uuid.match(fileName.mid(prefix.size(), uuidLength)).hasMatch();
}

bool StagedOutputFile::create(mode_t permissions) {
    descriptor_ = ::open(FileNames::encode(temporaryPath_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         permissions);
    return descriptor_ >= 0;
}

mode_t StagedOutputFile::permissionsLike(const QString& source) {
    struct stat status {};
    if (::stat(FileNames::encode(source).constData(), &status) != 0) {
        return 0666;
    }
    return S_IRUSR | S_IWUSR | (status.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH));
}

void StagedOutputFile::fail(int error) const {
    throw PlatformError(FileErrors::writing(error, outputPath_));
}

void StagedOutputFile::Sink::write(unsigned char const* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(file_.descriptor_, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            file_.fail(errno);
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
}

void StagedOutputFile::close() {
    // Synced before the rename, so the output is never a name for data still on its way to the disk.
    const int descriptor = std::exchange(descriptor_, -1);
    if (::fsync(descriptor) != 0) {
        const int error = errno;
        ::close(descriptor);
        fail(error);
    }
    if (::close(descriptor) != 0 && errno != EINTR) {
        fail(errno);
    }
}

void StagedOutputFile::commit() {
    const QByteArray output = FileNames::encode(outputPath_);
    const QByteArray temporary = FileNames::encode(temporaryPath_);
    struct stat existing {};
    if (::stat(output.constData(), &existing) == 0) {
        ::chmod(temporary.constData(), existing.st_mode & 0777);
    }
    // rename() replaces an existing output atomically: readers see the old file or the new one.
    if (std::rename(temporary.constData(), output.constData()) != 0) {
        fail(errno);
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(FileNames::encode(QFileInfo(outputPath_).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace quorvane
