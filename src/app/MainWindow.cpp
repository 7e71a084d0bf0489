#include "app/MainWindow.h"

#include "app/AppIcon.h"
#include "app/ContentView.h"
#include "app/DialogProvider.h"
#include "app/MainWorkflow.h"
#include "app/PreprocessingPreviewView.h"
#include "app/UpdateChecker.h"
#include "settings/AppSettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>

namespace quorvane {

MainWindow::MainWindow(AppSettings& settings, OCRPipeline& pipeline, FolderWatcher& watcher, UpdateChecker& updates,
                       DialogProvider& dialogs, std::shared_ptr<const TextRecognizer> recognizer,
                       const SharedActions& actions, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_updates(updates), m_dialogs(dialogs),
      m_recognizer(std::move(recognizer)) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(appIcon());
    m_workflow = new MainWorkflow(settings, pipeline, watcher, dialogs, this);
    m_content = new ContentView(settings, *m_workflow, watcher, this);
    setCentralWidget(m_content);
    connect(m_content, &ContentView::previewRequested, this, &MainWindow::showPreview);
    m_content->setMinimumSize(minimumContentSize, minimumContentSize);
    buildMenus(actions);
    statusBar()->setSizeGripEnabled(false);

    connect(&m_updates, &UpdateChecker::availableReleaseChanged, this, &MainWindow::offerRelease);
    connect(&m_updates, &UpdateChecker::lastCheckResultChanged, this, &MainWindow::reportCheck);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus(const SharedActions& actions) {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open\u2026"), this,
                                    [this] { m_workflow->chooseAndArrive(DialogProvider::InputKind::files); });
    open->setShortcut(QKeySequence::Open);
    QAction* openFolder = file->addAction(QStringLiteral("Open &Folder\u2026"), this,
                                          [this] { m_workflow->chooseAndArrive(DialogProvider::InputKind::folder); });
    openFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->addAction(QStringLiteral("&Preview…"), this, [this] {
        if (const auto file = m_workflow->choosePreviewFile()) {
            showPreview(*file);
        }
    });
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close Window"), this, &QWidget::close);
    close->setShortcut(QKeySequence::Close);
    file->addAction(actions.quit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(actions.settings);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Check for Updates\u2026"), this, &MainWindow::checkForUpdates);
    help->addSeparator();
    help->addAction(actions.about);
}

void MainWindow::open() {
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void MainWindow::checkForUpdates() {
    open();
    m_userAskedForUpdates = true;
    statusBar()->showMessage(QStringLiteral("Checking for updates\u2026"));
    m_updates.check();
}

PreprocessingPreviewView* MainWindow::preview() const { return m_preview; }

void MainWindow::showPreview(const QString& file) {
    if (m_preview) {
        m_preview->reject();
    }
    const PreprocessingPreviewModel::Trial current{m_settings.value<PreprocessStrength>(Setting::preprocessing),
                                                   m_settings.value<bool>(Setting::autoRotate),
                                                   m_settings.value<bool>(Setting::deskew),
                                                   m_settings.value<bool>(Setting::perspective)};
    PreprocessingPreviewView::Actions actions{
        .makeDefault =
            [this](PreprocessStrength strength) { m_settings.setValue(Setting::preprocessing, strength); },
        .setAutoRotate = [this](bool on) { m_settings.setValue(Setting::autoRotate, on); },
        .setDeskew = [this](bool on) { m_settings.setValue(Setting::deskew, on); },
        .setPerspective = [this](bool on) { m_settings.setValue(Setting::perspective, on); },
        // What the preview showed is what is done, whether or not it became the settings.
        .processWithRegion =
            [this, file](const std::optional<Rect>& region, const PreprocessingPreviewModel::Trial& trial) {
                OCROptions options = trial.appliedTo(m_settings.makeOptions());
                options.region = region;
                m_workflow->processWithOptions(file, options);
            }};
    m_preview = new PreprocessingPreviewView(file, current, m_settings.makeOptions(), m_recognizer, std::move(actions), this);
    m_preview->setAttribute(Qt::WA_DeleteOnClose);
    m_preview->open();
}

void MainWindow::offerRelease() {
    const auto& release = m_updates.availableRelease();
    if (!release) {
        return;
    }
    m_dialogs.offerUpdate(QStringLiteral("Update Available"), UpdateChecker::offerMessage(*release),
                          [this] { m_updates.openDownloadPage(); });
}

// Only a check the user asked for is answered here; the one at launch speaks only when it finds
// a release.
void MainWindow::reportCheck() {
    if (!m_userAskedForUpdates) {
        return;
    }
    m_userAskedForUpdates = false;
    const auto& result = m_updates.lastCheckResult();
    switch (result.kind) {
    case UpdateChecker::CheckResult::Kind::upToDate:
        statusBar()->showMessage(QStringLiteral("Quorvane %1 is up to date.").arg(m_updates.currentVersion()));
        break;
    case UpdateChecker::CheckResult::Kind::updateAvailable:
        statusBar()->showMessage(QStringLiteral("Quorvane %1 is available.").arg(result.version));
        break;
    case UpdateChecker::CheckResult::Kind::error:
        statusBar()->showMessage(QStringLiteral("Could not check for updates: %1").arg(result.message));
        break;
    case UpdateChecker::CheckResult::Kind::notChecked: statusBar()->clearMessage(); break;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closeHandler && !m_closeHandler()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace quorvane
