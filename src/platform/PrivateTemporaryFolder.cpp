#include "platform/PrivateTemporaryFolder.h"

#include "core/OCRError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace quorvane::PrivateTemporaryFolder {

namespace {

const QString folderPattern = QStringLiteral("quorvane-??????");
// The kinds of file that newFileName names, which a stale folder is emptied of.
const QStringList filePatterns = {QStringLiteral("quorvane-image-*")};
// An unlocked folder touched more recently than this may be one that its process has just made
// and not yet locked.
constexpr qint64 staleAfterSeconds = 60;

// Removes the folders of our naming that no living process holds and nobody touched lately.
// Only files of our naming are removed from them; a folder with anything else in it stays.
void removeStaleFolders(const QString& parent) {
    const QDateTime now = QDateTime::currentDateTime();
    const auto candidates = QDir(parent).entryInfoList({folderPattern}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& folder : candidates) {
        if (folder.ownerId() != ::geteuid() || folder.lastModified().secsTo(now) < staleAfterSeconds) {
            continue;
        }
        const int fd = ::open(QFile::encodeName(folder.filePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            QDir stale(folder.filePath());
            for (const auto& name : stale.entryList(filePatterns, QDir::Files | QDir::Hidden)) {
                stale.remove(name);
            }
            QDir(parent).rmdir(folder.fileName());
        }
        ::close(fd);
    }
}

struct Folder {
    QString parent;
    QString path;
    int lock = -1;
};

// Every folder this process made: the current one last. Earlier ones are kept until the end, as
// runs in flight may still have files there.
class Folders {
public:
    ~Folders() {
        for (const Folder& folder : folders_) {
            QDir(folder.path).removeRecursively();
            ::close(folder.lock);
        }
    }

    QString current() {
        std::lock_guard guard(mutex_);
        const QString parent = parentFolder();
        if (!folders_.empty() && folders_.back().parent == parent && QFileInfo(folders_.back().path).isDir()) {
            return folders_.back().path;
        }
        removeStaleFolders(parent);
        QByteArray name = QFile::encodeName(parent + QStringLiteral("/quorvane-XXXXXX"));
        if (::mkdtemp(name.data()) == nullptr) { // mode 0700
            throw PlatformError(problem(errno));
        }
        Folder folder{parent, QFile::decodeName(name), ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        if (folder.lock >= 0) {
            ::flock(folder.lock, LOCK_EX);
        }
        folders_.push_back(folder);
        return folder.path;
    }

private:
    std::mutex mutex_;
    std::vector<Folder> folders_;
};

Folders& folders() {
    static Folders instance;
    return instance;
}

} // namespace

QString path() { return folders().current(); }

QString parentFolder() {
    const QByteArray variable = qgetenv("TMPDIR");
    return variable.isEmpty() ? QStringLiteral("/tmp") : QDir::cleanPath(QFile::decodeName(variable));
}

QString problem(int errorNumber) {
    const QString folder = parentFolder();
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("the temporary folder \"%1\" does not exist").arg(folder);
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("the temporary folder \"%1\" cannot be written to").arg(folder);
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("there is not enough space in the temporary folder \"%1\"").arg(folder);
    default:
        return QStringLiteral("the temporary folder \"%1\" cannot be used: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

QString newFileName(const char* kind, const char* extension) {
    return QLatin1String(kind) + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
           QLatin1String(extension);
}

} // namespace quorvane::PrivateTemporaryFolder
