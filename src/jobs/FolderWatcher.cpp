#include "jobs/FolderWatcher.h"

#include "jobs/InputFiles.h"
#include "platform/FileNames.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace quorvane {

namespace {

// The enabled flag as this program stores it: a bool while cached, the text "true" once the
// settings file has been read back. Anything else is off.
bool storedTrue(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    return value.typeId() == QMetaType::QString && value.toString() == QLatin1String("true");
}

std::pair<QDateTime, qsizetype> lookAt(const QString& folder) {
    const auto status = FileNames::status(folder);
    return {status ? FileNames::modified(*status) : QDateTime(), FileNames::entries(folder).size()};
}

} // namespace

FolderWatcher::FolderWatcher(QSettings& defaults, QObject* parent) : QObject(parent), m_defaults(defaults) {
    m_scanTimer.setSingleShot(true);
    m_scanTimer.setInterval(settleInterval);
    connect(&m_scanTimer, &QTimer::timeout, this, &FolderWatcher::scan);
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &FolderWatcher::poll);
    if (storedTrue(m_defaults.value(enabledKey))) {
        restoreFolder();
    }
}

FolderWatcher::FolderWatcher(AppSettings& settings, QObject* parent) : FolderWatcher(settings.store(), parent) {}

FolderWatcher::~FolderWatcher() = default;

// The bookmark first, then the plain path. Here both hold the path; the bookmark counts as
// unresolvable when it is not a usable absolute path.
void FolderWatcher::restoreFolder() {
    const QString bookmark = FileNames::decode(m_defaults.value(bookmarkKey).toByteArray());
    if (!bookmark.isEmpty() && QDir::isAbsolutePath(bookmark)) {
        setFolderURL(bookmark);
        return;
    }
    const QVariant path = m_defaults.value(pathKey);
    if (path.typeId() == QMetaType::QString && !path.toString().isEmpty()) {
        setFolderURL(FileNames::absolute(path.toString()));
    }
}

void FolderWatcher::resumeIfEnabled() {
    if (storedTrue(m_defaults.value(enabledKey)) && !m_isWatching && m_folderURL) {
        beginWatching();
    }
}

void FolderWatcher::startWatching(const QString& folder) {
    stop();
    const QString path = FileNames::absolute(folder);
    m_defaults.setValue(pathKey, path);
    m_defaults.setValue(bookmarkKey, FileNames::encode(path));
    setFolderURL(path);
    m_defaults.setValue(enabledKey, true);
    m_defaults.sync();
    beginWatching();
}

void FolderWatcher::stopWatching() {
    stop();
    m_defaults.setValue(enabledKey, false);
    m_defaults.sync();
}

void FolderWatcher::forgetFolder() {
    stop();
    m_defaults.setValue(enabledKey, false);
    m_defaults.remove(pathKey);
    m_defaults.remove(bookmarkKey);
    m_defaults.sync();
    setFolderURL(std::nullopt);
}

QStringList FolderWatcher::candidateFiles(const QString& folder, const QString& nameTemplate) {
    QStringList candidates;
    if (!FileNames::isDirectory(folder)) {
        return candidates;
    }
    // The fixed output suffix, the name template and the outputs written by this process keep
    // the outputs written next to their sources from coming back as new arrivals. The suffix goes
    // first: what it leaves out is not opened to be told from a scan at every scan of the folder.
    for (const auto& file : InputFiles::expandInputs({folder})) {
        if (!QFileInfo(file).completeBaseName().toLower().endsWith(QLatin1String("_searchable"))) {
            candidates.append(file);
        }
    }
    return InputFiles::withoutOutputs(candidates, nameTemplate);
}

QString FolderWatcher::fileKey(const QString& path) {
    return FileNames::absolute(path);
}

QStringList FolderWatcher::existingFiles() const {
    return m_folderURL ? candidateFiles(*m_folderURL, m_nameTemplate()) : QStringList();
}

void FolderWatcher::processExisting() {
    QStringList files;
    for (const auto& file : existingFiles()) {
        // Refused while a batch runs: left to the scans, which hand it over once it is accepted,
        // as they do with an arrival.
        if (m_shouldAccept && !m_shouldAccept(file)) {
            m_handled.remove(fileKey(file));
            scheduleScan();
            continue;
        }
        m_handled.insert(fileKey(file), snapshotOf(file));
        files.append(file);
    }
    if (!files.isEmpty() && m_handler) {
        m_handler(files);
    }
}

FolderWatcher::Snapshot FolderWatcher::snapshotOf(const QString& path) {
    const auto status = FileNames::status(path);
    return status ? Snapshot{status->st_size, FileNames::modified(*status)} : Snapshot{};
}

// A file that is gone has not changed: the folder's listing tells of that, and one that comes back
// as it was (moved out and back, a share mounted again) is not a new document.
bool FolderWatcher::changedSinceHandled(const QString& key, const Snapshot& handled) {
    const Snapshot now = snapshotOf(key);
    return now.size >= 0 && now != handled;
}

bool FolderWatcher::handledFileChanged() const {
    for (const auto& [key, snapshot] : m_handled.asKeyValueRange()) {
        if (changedSinceHandled(key, snapshot)) {
            return true;
        }
    }
    return false;
}

void FolderWatcher::beginWatching() {
    const QString folder = *m_folderURL;
    if (!FileNames::isDirectory(folder)) {
        setStatusMessage(folderUnavailableMessage);
        return;
    }
    // Only files arriving from now on are processed by themselves.
    for (const auto& file : candidateFiles(folder, m_nameTemplate())) {
        m_handled.insert(fileKey(file), snapshotOf(file));
    }
    setStatusMessage(std::nullopt);

    // Qt's watcher cannot name a folder whose name is not UTF-8: the polls alone see what arrives there.
    if (QFile::encodeName(folder) == FileNames::encode(folder)) {
        auto* source = new QFileSystemWatcher(this);
        if (!source->addPath(folder)) {
            delete source;
            setStatusMessage(cannotWatchMessage);
            return;
        }
        // Entries created, removed or renamed in the folder; writes into a file already there are
        // caught by the rescans of files that are still changing.
        connect(source, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::scheduleScan);
        m_source = source;
    }
    m_folderLook = lookAt(folder);
    m_pollTimer.start();
    setWatching(true);
}

void FolderWatcher::stop() {
    m_scanTimer.stop();
    m_pollTimer.stop();
    delete m_source;
    m_source = nullptr;
    setWatching(false);
    m_handled.clear();
    m_lastSeen.clear();
}

// Restarting the timer drops the scan pending before, so there is at most one.
void FolderWatcher::scheduleScan() { m_scanTimer.start(); }

// A date and a listing of names: cheap, unlike a scan, which looks at every file. The count
// catches a file that came within the same tick of a coarse clock (two seconds on some shares) as
// the one before. The scan goes through the settle timer, so that scans stay that far apart: a
// file found unchanged since the scan before has settled.
void FolderWatcher::poll() {
    const auto look = lookAt(m_folderURL.value_or(QString()));
    // A file written to in place changes neither: the files handed over are looked at themselves.
    if (look != m_folderLook || handledFileChanged()) {
        m_folderLook = look;
        scheduleScan();
    }
}

void FolderWatcher::scan() {
    if (!m_folderURL || !folderIsThere()) {
        return;
    }
    // A file that changed after it was handed over is a new arrival, settling like any other: its
    // writer had paused for longer than a second (a multi-page scan written page by page), or a new
    // scan took its name. Its run makes the output again from the whole file.
    m_handled.removeIf([](std::pair<const QString&, Snapshot&> handled) {
        return changedSinceHandled(handled.first, handled.second);
    });
    const QDateTime now = QDateTime::currentDateTime();
    QStringList ready;
    bool deferred = false;
    for (const auto& file : candidateFiles(*m_folderURL, m_nameTemplate())) {
        const QString key = fileKey(file);
        if (m_handled.contains(key)) {
            continue;
        }
        const Snapshot snapshot = snapshotOf(file);
        // A date in the future never gets a second old; such a file counts as settled once a
        // scan finds it exactly as the previous scan did.
        const bool recent = snapshot.modified.isValid() && snapshot.modified.msecsTo(now) < stableInterval.count();
        const bool stillWriting = recent && m_lastSeen.value(key) != snapshot;
        m_lastSeen.insert(key, snapshot);
        if (stillWriting || (m_shouldAccept && !m_shouldAccept(file))) {
            deferred = true;
            continue;
        }
        m_handled.insert(key, snapshot);
        m_lastSeen.remove(key);
        ready.append(file);
    }
    if (!ready.isEmpty() && m_handler) {
        m_handler(ready);
    }
    if (deferred) {
        scheduleScan();
    }
}

// A folder that went away is said to be gone, and looked for at every poll; once it is back, its
// events are watched again (the old watch ended with the folder it was on).
bool FolderWatcher::folderIsThere() {
    if (!FileNames::isDirectory(*m_folderURL)) {
        setStatusMessage(folderGoneMessage);
        return false;
    }
    if (m_statusMessage == folderGoneMessage) {
        if (m_source != nullptr && !m_source->directories().contains(*m_folderURL)) {
            m_source->addPath(*m_folderURL);
        }
        setStatusMessage(std::nullopt);
    }
    return true;
}

void FolderWatcher::setFolderURL(const std::optional<QString>& folder) {
    if (m_folderURL == folder) {
        return;
    }
    m_folderURL = folder;
    Q_EMIT folderURLChanged();
}

void FolderWatcher::setWatching(bool watching) {
    if (m_isWatching == watching) {
        return;
    }
    m_isWatching = watching;
    Q_EMIT isWatchingChanged(watching);
}

void FolderWatcher::setStatusMessage(const std::optional<QString>& message) {
    if (m_statusMessage == message) {
        return;
    }
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}

} // namespace quorvane
