#pragma once

// The system tray icon and its menu ("Open Quorvane", "Settings…", "Quit Quorvane"), installed
// only where the desktop shows a system tray. A left click brings the main window up.

#include <QObject>
#include <QSystemTrayIcon>

class QAction;
class QMenu;

namespace quorvane {

class MenuBarController : public QObject {
    Q_OBJECT

public:
    // `settings`: the application's one Settings… action, shared with the window's menu.
    MenuBarController(QAction* settings, QObject* parent = nullptr);
    ~MenuBarController() override;

    static bool isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }
    // Shows the icon when a tray exists; false otherwise.
    bool install();
    bool isInstalled() const { return m_statusItem != nullptr; }

Q_SIGNALS:
    void openMainWindow();
    void quit();

private:
    QAction* m_settings;
    QSystemTrayIcon* m_statusItem = nullptr;
    QMenu* m_menu = nullptr;
};

} // namespace quorvane
