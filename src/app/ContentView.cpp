#include "app/ContentView.h"

#include "app/BatchPanel.h"
#include "app/ElidedLabel.h"
#include "app/MainWorkflow.h"
#include "app/PhasePanel.h"
#include "app/PresetPicker.h"
#include "jobs/FolderWatcher.h"
#include "jobs/InputFiles.h"
#include "pipeline/OCRPipeline.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvane {

namespace {

// The PDFs, images and folders of a drag. A drag of nothing else is refused while it is over the
// window, rather than dropped and passed over without a word.
QStringList takenPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !InputFiles::whyNotTaken(url.toLocalFile())) {
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

const QString dropAreaStyle = QStringLiteral(
    "QFrame#dropArea { border: 2px dashed palette(mid); border-radius: 12px; }"
    "QFrame#dropArea[targeted=\"true\"] { border: 2px solid palette(highlight); background: palette(alternate-base); }");

} // namespace

ContentView::ContentView(AppSettings& settings, MainWorkflow& workflow, FolderWatcher& watcher,
                         QWidget* parent)
    : QWidget(parent), m_workflow(workflow), m_watcher(watcher) {
    setAcceptDrops(true);

    // Which settings the next job takes, switchable without opening the settings window.
    auto* preset = new PresetPicker(settings, this);
    auto* presetLabel = new QLabel(PresetPicker::label, this);
    presetLabel->setBuddy(preset);
    auto* header = new QHBoxLayout;
    header->addWidget(presetLabel);
    header->addWidget(preset);
    header->addStretch();

    m_dropArea = new QFrame(this);
    m_dropArea->setObjectName(QStringLiteral("dropArea"));
    m_dropArea->setStyleSheet(dropAreaStyle);
    m_dropArea->setMinimumHeight(220);
    m_phasePanel = new PhasePanel(m_dropArea);
    auto* dropLayout = new QVBoxLayout(m_dropArea);
    dropLayout->setContentsMargins(16, 16, 16, 16);
    dropLayout->addWidget(m_phasePanel);

    m_batchPanel = new BatchPanel(m_workflow.batch(), this);

    auto* open = new QPushButton(QStringLiteral("Open\u2026"), this);
    open->setObjectName(QStringLiteral("openButton"));
    auto* openFolder = new QPushButton(QStringLiteral("Open Folder\u2026"), this);
    m_watcherStatus = new ElidedLabel(this);
    m_watcherStatus->setObjectName(QStringLiteral("watcherStatus"));
    m_watcherStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* footer = new QHBoxLayout;
    footer->addWidget(open);
    footer->addWidget(openFolder);
    footer->addWidget(m_watcherStatus, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_dropArea, 1);
    layout->addWidget(m_batchPanel, 1);
    layout->addLayout(footer);

    connect(open, &QPushButton::clicked, this,
            [this] { m_workflow.chooseAndArrive(DialogProvider::InputKind::files); });
    connect(openFolder, &QPushButton::clicked, this,
            [this] { m_workflow.chooseAndArrive(DialogProvider::InputKind::folder); });
    connect(m_phasePanel, &PhasePanel::showOutputRequested, &m_workflow, &MainWorkflow::showOutput);
    connect(m_phasePanel, &PhasePanel::openSidecarRequested, &m_workflow, &MainWorkflow::openSidecar);
    connect(m_batchPanel, &BatchPanel::showOutputsRequested, &m_workflow, &MainWorkflow::showBatchOutputs);
    connect(m_batchPanel, &BatchPanel::exportReportRequested, &m_workflow, &MainWorkflow::exportReport);
    connect(m_batchPanel, &BatchPanel::previewRequested, this, &ContentView::previewRequested);
    connect(m_phasePanel, &PhasePanel::previewRequested, this, [this] {
        if (const auto file = m_workflow.choosePreviewFile()) {
            Q_EMIT previewRequested(*file);
        }
    });

    connect(&m_workflow.pipeline(), &OCRPipeline::phaseChanged, this, &ContentView::showPhase);
    connect(&m_workflow, &MainWorkflow::selectedURLChanged, this, &ContentView::showPhase);
    connect(&m_watcher, &FolderWatcher::isWatchingChanged, this, &ContentView::showWatcherStatus);
    connect(&m_watcher, &FolderWatcher::folderURLChanged, this, &ContentView::showWatcherStatus);
    connect(&m_watcher, &FolderWatcher::statusMessageChanged, this, &ContentView::showWatcherStatus);
    showPhase();
    showWatcherStatus();
}

void ContentView::showPhase() {
    const auto& selected = m_workflow.selectedURL();
    m_phasePanel->show(m_workflow.pipeline().phase(), selected ? QFileInfo(*selected).fileName() : QString());
}

void ContentView::showWatcherStatus() {
    const auto folder = m_watcher.folderURL();
    if (const auto problem = m_watcher.statusMessage()) {
        m_watcherStatus->setFullText(*problem);
    } else if (m_watcher.isWatching() && folder) {
        m_watcherStatus->setFullText(QStringLiteral("Watching %1").arg(QDir::toNativeSeparators(*folder)));
    } else {
        m_watcherStatus->setFullText({});
    }
}

void ContentView::setTargeted(bool targeted) {
    m_dropArea->setProperty("targeted", targeted);
    m_dropArea->style()->unpolish(m_dropArea);
    m_dropArea->style()->polish(m_dropArea);
}

void ContentView::dragEnterEvent(QDragEnterEvent* event) {
    if (takenPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setTargeted(true);
}

void ContentView::dragLeaveEvent(QDragLeaveEvent* event) {
    setTargeted(false);
    QWidget::dragLeaveEvent(event);
}

void ContentView::dropEvent(QDropEvent* event) {
    setTargeted(false);
    const QStringList files = takenPaths(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The file manager waits for the drop to end: routing (which may ask questions) comes after.
    QTimer::singleShot(0, &m_workflow, [this, files] { m_workflow.arrive(files); });
}

} // namespace quorvane
