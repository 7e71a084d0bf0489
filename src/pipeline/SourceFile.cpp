#include "pipeline/SourceFile.h"

#include "core/OCRError.h"
#include "platform/FileErrors.h"
#include "platform/FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane::SourceFile {

namespace {

QString notAFile(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("it is a folder, not a file.");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("it is a named pipe, not a file.");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("it is a device, not a file.");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("it is a socket, not a file.");
    }
    return QStringLiteral("it is not a regular file.");
}

} // namespace

void checkReadable(const QString& path) {
    const auto status = FileNames::status(path);
    if (!status) {
        throw OCRError::cannotReadSource(FileErrors::reading(errno));
    }
    if (!S_ISREG(status->st_mode)) {
        throw OCRError::cannotReadSource(notAFile(status->st_mode));
    }
    // Opening a regular file never blocks; it tells whether we may read it.
    const int descriptor = ::open(FileNames::encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        throw OCRError::cannotReadSource(FileErrors::reading(errno));
    }
    ::close(descriptor);
}

} // namespace quorvane::SourceFile
