#include "app/MainWorkflow.h"

#include "app/FileBrowser.h"
#include "app/NotificationService.h"
#include "app/PasswordPrompt.h"
#include "core/OCRError.h"
#include "jobs/FolderWatcher.h"
#include "pipeline/OCRPipeline.h"
#include "pipeline/OutputPath.h"
#include "platform/TesseractEnginePool.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvane {

MainWorkflow::MainWorkflow(AppSettings& settings, OCRPipeline& pipeline, FolderWatcher& watcher,
                           DialogProvider& dialogs, QObject* parent)
    : QObject(parent), m_settings(settings), m_pipeline(pipeline), m_watcher(watcher), m_dialogs(dialogs),
      m_batch(pipeline.recognizer()) {
    connect(&m_pipeline, &OCRPipeline::isRunningChanged, this, [this](bool running) {
        if (!running) {
            documentFinished();
        }
    });
    connect(&m_batch, &BatchCoordinator::finished, this, &MainWorkflow::batchFinished);

    // Files that land in the watched folder while a batch runs wait for the scan after it.
    m_watcher.setShouldAccept([this](const QString&) { return !m_batch.isRunning(); });
    m_watcher.setNameTemplate([this] { return m_settings.value<QString>(Setting::outputNameTemplate); });
    m_watcher.setHandler([this](const QStringList& files) {
        if (m_batch.isRunning()) {
            m_dialogs.showAlert(busyTitle, busyMessage);
            return;
        }
        startBatch(files, {});
    });
    m_watcher.resumeIfEnabled();
}

MainWorkflow::~MainWorkflow() {
    m_watcher.setHandler({});
    m_watcher.setShouldAccept({});
    m_watcher.setNameTemplate([] { return OutputPath::defaultTemplate; });
}

bool MainWorkflow::isBusy() const { return m_batch.isRunning() || m_pipeline.isRunning() || m_inspectingArrival; }

void MainWorkflow::arrive(const QStringList& paths) {
    if (isBusy()) {
        m_dialogs.showAlert(busyTitle, busyMessage);
        return;
    }
    const QStringList files = BatchCoordinator::expandInputs(paths);
    if (files.isEmpty()) {
        return;
    }
    QStringList folders;
    for (const auto& path : paths) {
        if (QFileInfo(path).isDir()) {
            folders.append(path);
        }
    }
    // A dropped folder is a batch even when it holds a single document: its row shows where it went.
    if (files.size() > 1 || !folders.isEmpty()) {
        startBatch(files, folders);
        return;
    }
    routeOneFile(files.first());
}

void MainWorkflow::chooseAndArrive(DialogProvider::InputKind kind) {
    const QStringList chosen = m_dialogs.chooseInputs(kind);
    if (!chosen.isEmpty()) {
        arrive(chosen);
    }
}

void MainWorkflow::processWithOptions(const QString& file, const OCROptions& options) {
    if (isBusy()) {
        m_dialogs.showAlert(busyTitle, busyMessage);
        return;
    }
    routeOneFile(file, options);
}

std::optional<QString> MainWorkflow::choosePreviewFile() {
    const QStringList chosen = m_dialogs.chooseInputs(DialogProvider::InputKind::fileToPreview);
    return chosen.isEmpty() ? std::nullopt : std::optional(chosen.first());
}

void MainWorkflow::routeOneFile(const QString& file, const std::optional<OCROptions>& options) {
    // Finding out whether the file is locked means parsing it: off the main thread, and the window
    // counts as busy meanwhile.
    m_inspectingArrival = true;
    QtConcurrent::run(&OCRPipeline::requiresPassword, file).then(this, [this, file, options](bool locked) {
        m_inspectingArrival = false;
        if (locked) {
            askPassword(file, options);
        } else {
            startSingleRun(file, std::nullopt, options);
        }
    });
}

void MainWorkflow::askPassword(const QString& file, const std::optional<OCROptions>& options) {
    if (m_passwordPrompt) {
        m_passwordPrompt->cancel();
    }
    auto* prompt = new PasswordPrompt(file, this);
    connect(prompt, &PasswordPrompt::accepted, this,
            [this, file, options](const QString& password) { startSingleRun(file, password, options); });
    connect(prompt, &PasswordPrompt::closed, this, [this, prompt] {
        if (m_passwordPrompt == prompt) {
            m_passwordPrompt = nullptr;
            Q_EMIT passwordPromptChanged();
        }
        prompt->deleteLater();
    });
    m_passwordPrompt = prompt;
    Q_EMIT passwordPromptChanged();
    m_dialogs.askPassword(*prompt);
}

bool MainWorkflow::isFolderWritable(const QString& folder) {
    QFile probe(QDir(folder).filePath(probePrefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return false;
    }
    probe.close();
    probe.remove();
    return true;
}

void MainWorkflow::startSingleRun(const QString& file, const std::optional<QString>& password,
                                  const std::optional<OCROptions>& given) {
    if (isBusy()) {
        m_dialogs.showAlert(busyTitle, busyMessage);
        return;
    }
    const OCROptions options = given ? *given : m_settings.makeOptions();
    QString output = OutputPath::outputURL(file, std::nullopt, m_settings.value<QString>(Setting::outputNameTemplate));
    const QString folder = QFileInfo(output).absolutePath();
    if (!isFolderWritable(folder)) {
        const auto chosen = m_dialogs.chooseSaveLocation(folder, QFileInfo(output).fileName(), saveLocationMessage);
        if (!chosen || chosen->isEmpty()) {
            return;
        }
        output = *chosen;
    }
    m_selectedURL = file;
    Q_EMIT selectedURLChanged();
    m_pipeline.process(file, output, options, password);
}

// The dropped folders are the run's security scopes; without a sandbox the coordinator only keeps
// them with the run.
void MainWorkflow::startBatch(const QStringList& files, const QStringList& heldFolders) {
    const bool started = m_batch.start(files, m_settings.makeOptions(), std::nullopt,
                                       m_settings.value<QString>(Setting::outputNameTemplate), heldFolders,
                                       m_settings.value<bool>(Setting::batchSkipExistingOutputs));
    // Only searchable copies of other files were given: without a word, nothing would happen.
    if (!started && !files.isEmpty()) {
        m_dialogs.showAlert(onlyOutputsTitle, onlyOutputsMessage);
    }
}

void MainWorkflow::documentFinished() {
    const Phase& phase = m_pipeline.phase();
    if (phase.kind != Phase::Kind::done || !m_selectedURL) {
        return;
    }
    const auto content = NotificationService::documentContent(QFileInfo(*m_selectedURL).fileName(), phase.summary);
    NotificationService::post(content.title, content.body, m_settings.value<bool>(Setting::completionNotificationsEnabled));
}

void MainWorkflow::batchFinished() {
    const auto content = NotificationService::batchContent(m_batch.items());
    NotificationService::post(content.title, content.body, m_settings.value<bool>(Setting::completionNotificationsEnabled));
}

void MainWorkflow::showOutput() const {
    const Phase& phase = m_pipeline.phase();
    if (phase.kind == Phase::Kind::done && phase.summary.outputURL) {
        FileBrowser::reveal({*phase.summary.outputURL});
    }
}

void MainWorkflow::openSidecar() const {
    const Phase& phase = m_pipeline.phase();
    if (phase.kind == Phase::Kind::done && phase.summary.sidecarURL) {
        FileBrowser::open(*phase.summary.sidecarURL);
    }
}

void MainWorkflow::showBatchOutputs() const { FileBrowser::reveal(m_batch.outputURLs()); }

void MainWorkflow::exportReport() {
    const auto destination = m_dialogs.chooseReportDestination();
    if (!destination) {
        return;
    }
    try {
        ReportExporter::write(destination->path, destination->format, m_batch.items(),
                              QDateTime::currentDateTimeUtc());
    } catch (const std::exception& error) {
        m_dialogs.showAlert(exportFailedTitle, errorText(error));
    }
}

bool MainWorkflow::mayQuit() {
    if (!m_batch.isRunning() && !m_pipeline.isRunning()) {
        return true;
    }
    return m_dialogs.confirm(
        QStringLiteral("Quit while processing?"),
        QStringLiteral("Quorvane is still making documents searchable. If you quit now, the documents in "
                       "progress are not saved; your original files stay as they are."),
        QStringLiteral("Quit"));
}

void MainWorkflow::stopAll() {
    m_pipeline.cancel();
    m_batch.stopNow();
    TesseractEnginePool::stopAllRecognitions();
}

} // namespace quorvane
