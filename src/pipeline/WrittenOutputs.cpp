#include "pipeline/WrittenOutputs.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <mutex>

namespace quorvane::WrittenOutputs {

namespace {

std::mutex mutex;
QSet<QString> written;

QString key(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

} // namespace

void add(const QString& path) {
    std::lock_guard lock(mutex);
    written.insert(key(path));
}

bool contains(const QString& path) {
    std::lock_guard lock(mutex);
    return written.contains(key(path));
}

} // namespace quorvane::WrittenOutputs
