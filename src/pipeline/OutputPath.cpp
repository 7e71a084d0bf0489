#include "pipeline/OutputPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace quorvane::OutputPath {

namespace {

// The path with ".", ".." and symbolic links resolved; for a file that does not exist yet, its
// folder is resolved and its name kept.
QString resolvedPath(const QString& path) {
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) {
        return canonical;
    }
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

bool isSameFile(const QString& a, const QString& b) {
    const QString pathA = resolvedPath(a);
    const QString pathB = resolvedPath(b);
    if (pathA.compare(pathB, Qt::CaseInsensitive) == 0) {
        return true;
    }
    struct stat statA {};
    struct stat statB {};
    if (::stat(QFile::encodeName(pathA).constData(), &statA) != 0 ||
        ::stat(QFile::encodeName(pathB).constData(), &statB) != 0) {
        return false;
    }
    return statA.st_dev == statB.st_dev && statA.st_ino == statB.st_ino;
}

} // namespace quorvane::OutputPath
