#include "app/SingleInstance.h"

#include "app/PendingDrops.h"

#include <QDataStream>
#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

namespace quorvane {

namespace {

constexpr char acknowledgement = '1';

bool someoneListens(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(1000);
}

} // namespace

QString SingleInstance::socketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime + QStringLiteral("/quorvane.socket");
    }
    return QDir::tempPath() + QStringLiteral("/quorvane-%1.socket").arg(getuid());
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& files, std::chrono::milliseconds timeout) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(static_cast<int>(timeout.count()))) {
        return HandOver::noInstance;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(static_cast<int>(timeout.count()))) {
        return HandOver::noAnswer;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(static_cast<int>(timeout.count()))) {
            return HandOver::noAnswer;
        }
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == acknowledgement ? HandOver::delivered : HandOver::noAnswer;
}

SingleInstance::SingleInstance(PendingDrops& drops, QObject* parent) : QObject(parent), m_drops(drops) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { receive(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            receive(socket);
        }
    });
}

bool SingleInstance::listen() {
    const QString path = socketPath();
    // Listening with access options replaces whatever socket file is there, so a live instance
    // is looked for first.
    if (someoneListens(path)) {
        return false;
    }
    QLocalServer::removeServer(path); // left by an instance that did not end cleanly
    return m_server.listen(path);
}

void SingleInstance::receive(QLocalSocket* socket) {
    QDataStream in(socket);
    in.startTransaction();
    QStringList files;
    in >> files;
    if (!in.commitTransaction()) {
        return; // the rest is still on its way
    }
    socket->putChar(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    m_drops.append(files);
}

} // namespace quorvane
