#include "platform/FileErrors.h"

#include "platform/FileNames.h"

#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quorvane::FileErrors {

QString writing(int error, const QString& path) {
    const QString name = QStringLiteral("\"%1\"").arg(QFileInfo(path).fileName());
    switch (error) {
    case ENOSPC:
        return QStringLiteral("There is not enough space on the disk for %1.").arg(name);
    case EDQUOT:
        return QStringLiteral("Your disk quota is used up, so %1 could not be written.").arg(name);
    case EFBIG:
        return QStringLiteral("%1 would be larger than the file system allows.").arg(name);
    case EROFS:
        return QStringLiteral("The disk that holds %1 is read-only.").arg(name);
    case EACCES:
    case EPERM:
        return QStringLiteral("Quorvane is not allowed to write %1.").arg(name);
    case EIO:
        return QStringLiteral("The disk reported an error while %1 was being written.").arg(name);
    case ENOENT:
        return QStringLiteral("The folder of %1 no longer exists.").arg(name);
    case ENAMETOOLONG:
        return QStringLiteral("The name %1 is too long for the file system.").arg(name);
    default:
        return QStringLiteral("%1 could not be written: %2.").arg(name, qt_error_string(error));
    }
}

QString reading(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("you are not allowed to read it.");
    case ENOENT:
        return QStringLiteral("it no longer exists.");
    case EIO:
        return QStringLiteral("the disk reported an error while it was being read.");
    case ELOOP:
        return QStringLiteral("its symbolic links lead round in a circle.");
    default:
        return qt_error_string(error) + QLatin1Char('.');
    }
}

std::optional<QString> makeFolder(const QString& folder) {
    const QFileInfo existing(folder);
    if (existing.exists() && !existing.isDir()) {
        return QStringLiteral("a file of that name is in its place.");
    }
    if (existing.isSymLink() && !existing.exists()) {
        return QStringLiteral("it is a link to \"%1\", which does not exist.").arg(existing.symLinkTarget());
    }
    std::error_code error;
    std::filesystem::create_directories(FileNames::encode(folder).toStdString(), error);
    if (!error) {
        return std::nullopt;
    }
    switch (error.value()) {
    case ENOTDIR:
        return QStringLiteral("a file stands where a folder above it should be.");
    case EACCES:
    case EPERM:
        return QStringLiteral("you are not allowed to create a folder there.");
    case EROFS:
        return QStringLiteral("the disk is read-only.");
    case ENOSPC:
        return QStringLiteral("there is not enough space on the disk.");
    default:
        return qt_error_string(error.value()) + QLatin1Char('.');
    }
}

std::optional<int> probeWriting(const QString& folder) {
    const QByteArray path = FileNames::encode(folder + QStringLiteral("/.quorvane-probe-") +
                                              QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return errno;
    }
    const QByteArray block(4096, ' ');
    std::optional<int> error;
    const ssize_t written = ::write(descriptor, block.constData(), block.size());
    if (written < 0) {
        error = errno;
    } else if (written < block.size()) {
        error = ENOSPC; // the disk took only part of it
    } else if (::fsync(descriptor) != 0) {
        error = errno;
    }
    ::close(descriptor);
    ::unlink(path.constData());
    return error;
}

} // namespace quorvane::FileErrors
