#pragma once

// The application: the shared objects that live as long as the process (settings, the recognizer,
// the document pipeline, the folder watcher, the update checker), the main window, the settings
// window, the tray icon, and what happens at launch, on closing the window and on quitting. Every
// engine object of the desktop program is made here.

#include "app/DialogProvider.h"
#include "core/TextRecognizer.h"

#include <QObject>
#include <QStringList>
#include <memory>

class QAction;

namespace quorvane {

class AppSettings;
class FolderWatcher;
class MainWindow;
class MenuBarController;
class OCRPipeline;
class PendingDrops;
class SettingsView;
class TextRecognizer;
class UpdateChecker;

class QuorvaneApp : public QObject {
    Q_OBJECT

public:
    // `drops`: where files handed in from outside arrive. `recognizer`: what every document is
    // recognised with. `dialogs`: who answers the windows' questions; Qt's dialogs when none is given.
    QuorvaneApp(PendingDrops& drops, std::shared_ptr<const TextRecognizer> recognizer,
                std::unique_ptr<DialogProvider> dialogs = nullptr, QObject* parent = nullptr);
    ~QuorvaneApp() override;

    AppSettings& settings() const { return *m_settings; }
    OCRPipeline& pipeline() const { return *m_pipeline; }
    FolderWatcher& watcher() const { return *m_watcher; }
    UpdateChecker& updates() const { return *m_updates; }
    MainWindow& mainWindow() const { return *m_mainWindow; }
    // The settings window, once it has been shown.
    SettingsView* settingsView() const { return m_settingsView.get(); }

    // Installs the tray icon, shows the window, starts the update check and takes the files given
    // on the command line.
    void launch(const QStringList& files);

    // Closing the window leaves Quorvane running when the user asked for that and a tray exists
    // to bring the window back from.
    bool keepsRunningInTray() const;

public Q_SLOTS:
    void openMainWindow();
    // The settings window's entry point, shared by the menu, the shortcut and the tray.
    void showSettings();
    void showAbout();
    // Quits, after asking when documents are still being processed.
    void quit();
    // Quits without asking, as when the session ends or the process is told to stop; the
    // documents in progress are given up.
    void quitNow();

private:
    void takePendingFiles();

    PendingDrops& m_drops;
    std::shared_ptr<const TextRecognizer> m_recognizer;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<OCRPipeline> m_pipeline;
    std::unique_ptr<FolderWatcher> m_watcher;
    std::unique_ptr<UpdateChecker> m_updates;
    std::unique_ptr<DialogProvider> m_dialogs;
    QAction* m_quitAction = nullptr;
    bool m_quitting = false;
    QAction* m_settingsAction = nullptr;
    QAction* m_aboutAction = nullptr;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<SettingsView> m_settingsView;
    std::unique_ptr<MenuBarController> m_tray;
};

} // namespace quorvane
