#include "app/SingleInstance.h"

#include "app/PendingDrops.h"

#include <QDataStream>
#include <QLocalSocket>
#include <QStandardPaths>

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
    // A socket in a folder that others can write to could be taken first by another user, who
    // would then receive the files. Qt's runtime folder is the user's alone: $XDG_RUNTIME_DIR when
    // it is private, else one made with mode 0700 in the temporary folder, and none when a folder
    // of that name belongs to someone else.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/quorvane.socket");
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& files, std::chrono::milliseconds timeout) {
    const QString path = socketPath();
    if (path.isEmpty()) {
        return HandOver::noInstance;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
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
    if (path.isEmpty()) {
        return false;
    }
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
