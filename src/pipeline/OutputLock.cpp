#include "pipeline/OutputLock.h"

#include "core/OCRError.h"
#include "pipeline/OutputPath.h"
#include "pipeline/StagedOutputFile.h"
#include "pipeline/TextLayerWriter.h"
#include "platform/FileNames.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

const QString lockSuffix = QStringLiteral(".quorvane-lock");

// The longest name the folder's file system takes, in bytes.
long longestNameIn(const QString& folder) {
    const long longest = ::pathconf(FileNames::encode(folder).constData(), _PC_NAME_MAX);
    return longest > 0 ? longest : 255;
}

[[noreturn]] void failToCreate(int error, const QString& outputPath) {
    throw OCRError::outputWriteFailed(TextLayerWriter::explainCreationFailure(outputPath, error));
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

} // namespace

OutputLock::OutputLock(const QString& outputPath) : outputPath_(outputPath) {
    const QFileInfo output(outputPath);
    const QString folder = output.absolutePath();
    if (!FileNames::isDirectory(folder)) {
        throw OCRError::outputWriteFailed(QStringLiteral("the output folder no longer exists"));
    }
    // Refused now rather than after every page has been recognised.
    const long longest = longestNameIn(folder);
    const qsizetype length = FileNames::encode(output.fileName()).size();
    if (length > longest) {
        throw OCRError::outputWriteFailed(
            QStringLiteral("the name \"%1\" is %2 bytes long, and this disk takes file names of at most %3 bytes. "
                           "Choose a shorter output name template, or rename the source.")
                .arg(FileNames::shown(output.fileName()))
                .arg(length)
                .arg(longest));
    }
    QString base = output.fileName();
    while (FileNames::encode(QLatin1Char('.') + base + lockSuffix).size() > longest) {
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() && base[base.size() - 2].isHighSurrogate() ? 2 : 1);
    }
    lockPath_ = folder + QStringLiteral("/.") + base + lockSuffix;
    const QByteArray lockFile = FileNames::encode(lockPath_);

    // The holder removes the file before it lets go, so a lock taken on a file that is no longer
    // at the path protects nothing: open again until the locked file is the one there.
    for (;;) {
        const int descriptor = ::open(lockFile.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            failToCreate(errno, outputPath);
        }
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(descriptor, F_OFD_SETLK, &whole) != 0) {
            const int error = errno;
            ::close(descriptor);
            if (error == EAGAIN || error == EACCES) {
                throw OCRError::outputWriteFailed(
                    QStringLiteral("another Quorvane run is writing \"%1\" right now. Try again when it has finished.")
                        .arg(FileNames::shown(output.fileName())));
            }
            failToCreate(error, outputPath);
        }
        struct stat locked {}, current {};
        if (::fstat(descriptor, &locked) == 0 && ::stat(lockFile.constData(), &current) == 0 &&
            sameFile(locked, current)) {
            descriptor_ = descriptor;
            return;
        }
        ::close(descriptor);
    }
}

OutputLock::~OutputLock() {
    ::unlink(FileNames::encode(lockPath_).constData());
    ::close(descriptor_);
}

void OutputLock::removeStaleStagedFiles() const {
    const QFileInfo output(outputPath_);
    const QString folder = output.absolutePath();
    const QString textCopy = OutputPath::textCopyPath(outputPath_);
    for (const QString& name : FileNames::entries(folder)) {
        if (StagedOutputFile::isStagingNameOf(name, outputPath_) || StagedOutputFile::isStagingNameOf(name, textCopy)) {
            ::unlink(FileNames::encode(folder + QLatin1Char('/') + name).constData());
        }
    }
}

} // namespace quorvane
