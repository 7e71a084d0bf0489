#include "AppTestSupport.h"

#include "settings/AppSettings.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryFile>

#include <unistd.h>

namespace quorvane::test {

AppUnderTest::AppUnderTest(std::shared_ptr<const TextRecognizer> recognizer)
    : app(drops, std::move(recognizer), std::unique_ptr<DialogProvider>(dialogs)) {
    app.settings().setPresets({});
    for (const auto& row : settingsTable()) {
        app.settings().setValue(row.setting, row.defaultValue);
    }
}

// The service's name names the connection too.
BusRegistration::BusRegistration(QObject* object, const QString& service, const QString& path)
    : m_service(service), m_path(path) {
    auto connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, service);
    m_registered = connection.isConnected() &&
                   connection.registerObject(path, object, QDBusConnection::ExportAllSlots) &&
                   connection.registerService(service);
}

BusRegistration::~BusRegistration() {
    QDBusConnection connection(m_service);
    connection.unregisterService(m_service);
    connection.unregisterObject(m_path);
    QDBusConnection::disconnectFromBus(m_service);
}

uint FakeNotificationServer::Notify(const QString& appName, uint, const QString& appIcon, const QString& summary,
                                    const QString& body, const QStringList&, const QVariantMap& hints, int) {
    received.append({appName, appIcon, summary, body, hints});
    return static_cast<uint>(received.size());
}

void FakeFileManager::ShowItems(const QStringList& uris, const QString&) { shown.append(uris); }

OpenedUrls::OpenedUrls(const QString& scheme) : m_scheme(scheme) {
    QDesktopServices::setUrlHandler(scheme, this, "open");
}

OpenedUrls::~OpenedUrls() { QDesktopServices::unsetUrlHandler(m_scheme); }

LocalHttpServer::LocalHttpServer() {
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QUrl LocalHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LocalHttpServer::answer(QTcpSocket* socket) {
    if (!socket->canReadLine()) {
        return;
    }
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    socket->readAll(); // the headers; a GET has no body
    m_requests += 1;
    const QString path = requestLine.size() > 1 ? QString::fromUtf8(requestLine[1]) : QString();
    const Response response = m_responses.value(path, Response{404, "Not found"});
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    reply += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(response.body.size()) +
             "\r\nConnection: close\r\n\r\n" + response.body;
    socket->write(reply);
    socket->disconnectFromHost();
}

namespace {

// Tried for real rather than asked of the code under test, which could be wrong.
bool acceptsNewFiles(const QString& folder) { return QTemporaryFile(folder + "/probe-XXXXXX").open(); }

bool setImmutable(const QString& path, bool immutable) {
    return QProcess::execute(QStringLiteral("chattr"), {immutable ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(QString path) : m_path(std::move(path)) {
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup);
    // Permissions do not stop root.
    if (acceptsNewFiles(m_path) && geteuid() == 0) {
        m_immutable = setImmutable(m_path, true);
    }
    m_readOnly = !acceptsNewFiles(m_path);
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (m_immutable) {
        setImmutable(m_path, false);
    }
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace quorvane::test
