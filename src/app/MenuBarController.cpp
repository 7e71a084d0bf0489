#include "app/MenuBarController.h"

#include "app/AppIcon.h"

#include <QAction>
#include <QMenu>

namespace quorvane {

MenuBarController::MenuBarController(QAction* settings, QObject* parent) : QObject(parent), m_settings(settings) {}

MenuBarController::~MenuBarController() { delete m_menu; }

bool MenuBarController::install() {
    if (m_statusItem) {
        return true;
    }
    if (!isAvailable()) {
        return false;
    }
    m_menu = new QMenu;
    m_menu->addAction(QStringLiteral("Open Quorvane"), this, &MenuBarController::openMainWindow);
    m_menu->addSeparator();
    m_menu->addAction(m_settings);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit Quorvane"), this, &MenuBarController::quit);

    m_statusItem = new QSystemTrayIcon(appIcon(), this);
    m_statusItem->setToolTip(QStringLiteral("Quorvane"));
    m_statusItem->setContextMenu(m_menu);
    connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            Q_EMIT openMainWindow();
        }
    });
    m_statusItem->show();
    return true;
}

} // namespace quorvane
