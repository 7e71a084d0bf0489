#include "app/WatchFolderSection.h"

#include "app/DialogProvider.h"
#include "app/ElidedLabel.h"
#include "app/SettingRow.h"
#include "jobs/FolderWatcher.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvane {

WatchFolderSection::WatchFolderSection(FolderWatcher& watcher, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent), m_watcher(watcher), m_dialogs(dialogs) {
    m_switch = new QCheckBox(QStringLiteral("Process new scans automatically"), this);
    m_switch->setObjectName(QStringLiteral("watchSwitch"));
    m_folder = new ElidedLabel(this);
    m_folder->setObjectName(QStringLiteral("watchedFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_folder->setMinimumWidth(200);
    auto* choose = new QPushButton(QStringLiteral("Choose\u2026"), this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("watcherStatus"));
    m_status->setWordWrap(true);
    m_status->setStyleSheet(QStringLiteral("color: #c02020;"));

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(choose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_switch);
    layout->addLayout(folderRow);
    layout->addWidget(m_status);
    layout->addWidget(SettingRow::helpLabel(
        QStringLiteral("Point Quorvane at your scanner's output folder and every new PDF or image landing there is "
                       "processed with the current preset. Quorvane has to stay open; when watching starts you'll be "
                       "asked whether files already in the folder should be processed too."),
        this));

    connect(m_switch, &QCheckBox::toggled, this, &WatchFolderSection::setWatching);
    connect(choose, &QPushButton::clicked, this, &WatchFolderSection::chooseFolder);
    connect(&m_watcher, &FolderWatcher::isWatchingChanged, this, &WatchFolderSection::showWatcher);
    connect(&m_watcher, &FolderWatcher::folderURLChanged, this, &WatchFolderSection::showWatcher);
    connect(&m_watcher, &FolderWatcher::statusMessageChanged, this, &WatchFolderSection::showWatcher);
    showWatcher();
}

void WatchFolderSection::setWatching(bool on) {
    if (!on) {
        m_watcher.stopWatching();
    } else if (const auto folder = m_watcher.folderURL()) {
        m_watcher.startWatching(*folder);
        askAboutExistingFiles();
    } else {
        chooseFolder();
    }
    showWatcher(); // a cancelled choice leaves the switch off
}

void WatchFolderSection::chooseFolder() {
    const auto folder = m_dialogs.chooseFolder(
        QStringLiteral("Watch"), QStringLiteral("New PDFs and images landing in this folder will be processed automatically."));
    if (folder) {
        m_watcher.startWatching(*folder);
        askAboutExistingFiles();
    }
}

// Asked only when watching really began: a folder that cannot be watched has its status message.
void WatchFolderSection::askAboutExistingFiles() {
    if (!m_watcher.isWatching()) {
        return;
    }
    const auto count = m_watcher.existingFiles().size();
    if (count > 0 &&
        m_dialogs.confirm(QStringLiteral("Process existing files?"),
                          QStringLiteral("The folder already contains %1 file(s). Process them with the current preset "
                                         "now, or leave them and only handle new arrivals.")
                              .arg(count),
                          QStringLiteral("Process Now"), QStringLiteral("Leave Them"))) {
        m_watcher.processExisting();
    }
}

void WatchFolderSection::showWatcher() {
    const QSignalBlocker block(m_switch);
    m_switch->setChecked(m_watcher.isWatching());
    const auto folder = m_watcher.folderURL();
    m_folder->setFullText(folder ? QDir::toNativeSeparators(*folder) : QStringLiteral("No folder chosen"));
    const auto status = m_watcher.statusMessage();
    m_status->setText(status.value_or(QString()));
    m_status->setVisible(status.has_value());
}

} // namespace quorvane
