// quorvane-fake-tray-host: a system tray on the session bus (a StatusNotifierWatcher with a host),
// for the window smoke test under Xvfb, where no desktop provides one. It accepts every icon and
// shows none. Runs until it is killed.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <cstdio>

class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { m_items.append(service); }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    QStringList m_items;
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    StatusNotifierWatcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fputs("quorvane-fake-tray-host: cannot register on the session bus\n", stderr);
        return 1;
    }
    return application.exec();
}

#include "FakeTrayHost.moc"
