#include "app/FileBrowser.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quorvane::FileBrowser {

namespace {

void openFolderOf(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

void reveal(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolderOf(paths.first());
        return;
    }
    QStringList uris;
    for (const auto& path : paths) {
        uris.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
    }
    auto message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    message << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message));
    const QString first = paths.first();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [first](QDBusPendingCallWatcher* call) {
        if (call->isError()) {
            openFolderOf(first);
        }
        call->deleteLater();
    });
}

void open(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

} // namespace quorvane::FileBrowser
