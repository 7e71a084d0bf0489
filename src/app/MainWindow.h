#pragma once

// The main window "Quorvane": the menus, the content view, the preprocessing preview, the update
// offer and the status line that answers "Check for Updates…". Closing it either quits or leaves
// Quorvane in the system tray, as the application decides.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;

namespace quorvane {

class AppSettings;
class ContentView;
class DialogProvider;
class FolderWatcher;
class MainWorkflow;
class OCRPipeline;
class PreprocessingPreviewView;
class TextRecognizer;
class UpdateChecker;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int minimumContentSize = 640;

    // The actions the application shares between this window's menus and the tray menu.
    struct SharedActions {
        QAction* quit = nullptr;
        QAction* settings = nullptr;
        QAction* about = nullptr;
    };

    // `recognizer`: what the preview recognises with.
    MainWindow(AppSettings& settings, OCRPipeline& pipeline, FolderWatcher& watcher, UpdateChecker& updates,
               DialogProvider& dialogs, std::shared_ptr<const TextRecognizer> recognizer,
               const SharedActions& actions, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWorkflow& workflow() const { return *m_workflow; }
    ContentView& contentView() const { return *m_content; }

    // Shows the window, brings it to the front and gives it the focus.
    void open();
    // "Check for Updates…": checks and says how it went in the status line.
    void checkForUpdates();
    // The preprocessing preview of `file`, tried with the current settings; replaces an open one.
    void showPreview(const QString& file);
    // The open preview, if any.
    PreprocessingPreviewView* preview() const;

    // Asked when the user closes the window; false keeps it open.
    void setCloseHandler(std::function<bool()> handler) { m_closeHandler = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus(const SharedActions& actions);
    void offerRelease();
    void reportCheck();

    AppSettings& m_settings;
    UpdateChecker& m_updates;
    DialogProvider& m_dialogs;
    std::shared_ptr<const TextRecognizer> m_recognizer;
    QPointer<PreprocessingPreviewView> m_preview;
    MainWorkflow* m_workflow = nullptr;
    ContentView* m_content = nullptr;
    std::function<bool()> m_closeHandler;
    bool m_userAskedForUpdates = false;
};

} // namespace quorvane
