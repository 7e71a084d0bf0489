#include "app/QuorvaneApp.h"

#include "app/MainWindow.h"
#include "app/MainWorkflow.h"
#include "app/MenuBarController.h"
#include "app/PendingDrops.h"
#include "app/QtDialogProvider.h"
#include "app/SettingsView.h"
#include "app/UpdateChecker.h"
#include "jobs/FolderWatcher.h"
#include "pipeline/OCRPipeline.h"
#include "settings/AppSettings.h"

#include <QAction>
#include <QApplication>

namespace quorvane {

QuorvaneApp::QuorvaneApp(PendingDrops& drops, std::shared_ptr<const TextRecognizer> recognizer,
                         std::unique_ptr<DialogProvider> dialogs, QObject* parent)
    : QObject(parent), m_drops(drops), m_recognizer(std::move(recognizer)), m_settings(std::make_unique<AppSettings>()),
      m_pipeline(std::make_unique<OCRPipeline>(m_recognizer)), m_watcher(std::make_unique<FolderWatcher>(*m_settings)),
      m_updates(std::make_unique<UpdateChecker>(QCoreApplication::applicationVersion())),
      m_dialogs(std::move(dialogs)) {
    auto* qtDialogs = m_dialogs ? nullptr : new QtDialogProvider;
    if (qtDialogs) {
        m_dialogs.reset(qtDialogs);
    }

    m_quitAction = new QAction(QStringLiteral("&Quit"), this);
    m_quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_quitAction, &QAction::triggered, this, &QuorvaneApp::quit);

    m_settingsAction = new QAction(QStringLiteral("&Settings\u2026"), this);
    m_settingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_settingsAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_settingsAction, &QAction::triggered, this, &QuorvaneApp::showSettings);

    m_aboutAction = new QAction(QStringLiteral("&About Quorvane"), this);
    connect(m_aboutAction, &QAction::triggered, this, &QuorvaneApp::showAbout);

    m_mainWindow = std::make_unique<MainWindow>(*m_settings, *m_pipeline, *m_watcher, *m_updates, *m_dialogs,
                                                m_recognizer,
                                                MainWindow::SharedActions{m_quitAction, m_settingsAction, m_aboutAction});
    if (qtDialogs) {
        qtDialogs->setWindow(m_mainWindow.get());
    }
    m_mainWindow->setCloseHandler([this] {
        // Quitting closes the windows too: decided already, it is not asked about again.
        if (m_quitting) {
            return true;
        }
        if (keepsRunningInTray()) {
            return true; // only hides the window
        }
        if (!m_mainWindow->workflow().mayQuit()) {
            return false;
        }
        quitNow();
        return true;
    });

    m_tray = std::make_unique<MenuBarController>(m_settingsAction);
    connect(m_tray.get(), &MenuBarController::openMainWindow, this, &QuorvaneApp::openMainWindow);
    connect(m_tray.get(), &MenuBarController::quit, this, &QuorvaneApp::quit);

    connect(&m_drops, &PendingDrops::processFiles, this, &QuorvaneApp::takePendingFiles);
}

QuorvaneApp::~QuorvaneApp() = default;

void QuorvaneApp::launch(const QStringList& files) {
    // The window stays ours to show and hide; closing it is decided above, not by Qt.
    QApplication::setQuitOnLastWindowClosed(false);
    m_tray->install();
    m_mainWindow->open();
    m_updates->check();
    if (!files.isEmpty()) {
        m_drops.append(files);
    }
}

bool QuorvaneApp::keepsRunningInTray() const { return m_settings->value<bool>(Setting::menuBarOnly) && m_tray->isInstalled(); }

void QuorvaneApp::openMainWindow() { m_mainWindow->open(); }

// Made on first use: the main window's workflow has installed the watcher's handler by then.
void QuorvaneApp::showSettings() {
    openMainWindow();
    if (!m_settingsView) {
        m_settingsView = std::make_unique<SettingsView>(*m_settings, *m_watcher, *m_dialogs);
    }
    m_settingsView->show();
    m_settingsView->raise();
    m_settingsView->activateWindow();
}

void QuorvaneApp::showAbout() {
    m_dialogs->showInformation(
        QStringLiteral("About Quorvane"),
        QStringLiteral("Quorvane %1\n\nMakes scanned PDFs and images searchable on this computer with Tesseract. "
                       "Nothing leaves the machine.\n\nGPL-3.0-or-later.")
            .arg(QCoreApplication::applicationVersion()));
}

void QuorvaneApp::quit() {
    if (m_mainWindow->workflow().mayQuit()) {
        quitNow();
    }
}

void QuorvaneApp::quitNow() {
    m_quitting = true;
    m_mainWindow->workflow().stopAll();
    QCoreApplication::quit();
}

void QuorvaneApp::takePendingFiles() {
    openMainWindow();
    const QStringList files = m_drops.take();
    if (!files.isEmpty()) {
        m_mainWindow->workflow().arrive(files);
    }
}

} // namespace quorvane
