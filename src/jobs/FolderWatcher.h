#pragma once

// Watches one folder (typically a scanner's output folder) and hands every new PDF or image that
// lands there to a handler once the file has stopped changing. The chosen folder and whether
// watching is on are kept in the settings file, so watching resumes after a restart. Lives on the
// main thread.

#include "pipeline/OutputPath.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

class QFileSystemWatcher;

namespace quorvane {

class AppSettings;

class FolderWatcher : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isWatching READ isWatching NOTIFY isWatchingChanged)

public:
    using Handler = std::function<void(const QStringList& files)>;
    using AcceptCheck = std::function<bool(const QString& file)>;
    using NameTemplate = std::function<QString()>;

    static inline const QString enabledKey = QStringLiteral("quorvane.watcher.enabled");
    // Where the folder is found again. Without a sandbox the "bookmark" is the folder's path.
    static inline const QString bookmarkKey = QStringLiteral("quorvane.watcher.bookmark");
    static inline const QString pathKey = QStringLiteral("quorvane.watcher.path");

    // A burst of folder events leads to one scan this long after the last event.
    static constexpr std::chrono::milliseconds settleInterval{1200};
    // A file modified more recently than this is taken to be still being written.
    static constexpr std::chrono::milliseconds stableInterval{1000};
    // A network share, a FUSE mount or a virtual machine's shared folder reports no change made
    // elsewhere (by the scanner writing to the share), so the folder's date and number of entries
    // are also looked at this often, and the folder scanned when they have changed.
    static constexpr std::chrono::milliseconds pollInterval{3000};

    static inline const QString folderUnavailableMessage =
        QStringLiteral("That folder is no longer available \u2014 choose it again.");
    static inline const QString cannotWatchMessage = QStringLiteral("Could not watch this folder.");
    // The folder went away while watched: moved, deleted, or a share that was unmounted.
    static inline const QString folderGoneMessage =
        QStringLiteral("The watched folder is gone \u2014 watching resumes when it is back.");

    // Reads the stored folder when watching is switched on; does not start watching.
    explicit FolderWatcher(QSettings& defaults, QObject* parent = nullptr);
    explicit FolderWatcher(AppSettings& settings, QObject* parent = nullptr);
    ~FolderWatcher() override;

    std::optional<QString> folderURL() const { return m_folderURL; }
    bool isWatching() const { return m_isWatching; }
    std::optional<QString> statusMessage() const { return m_statusMessage; }

    // Receives the documents that are ready, in file-name order.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Asked per ready file; false offers the file again on a later scan.
    void setShouldAccept(AcceptCheck shouldAccept) { m_shouldAccept = std::move(shouldAccept); }
    // The name template that the handler's runs name their outputs with (asked at each scan), so
    // that the outputs they write into the folder are not taken as new arrivals.
    void setNameTemplate(NameTemplate nameTemplate) { m_nameTemplate = std::move(nameTemplate); }

    // Starts watching the stored folder when watching is switched on and not yet under way.
    void resumeIfEnabled();
    // Remembers this folder, switches watching on and starts watching it. Files already there
    // are left alone (see processExisting).
    void startWatching(const QString& folder);
    // Stops watching and switches it off; the folder stays known until the program ends.
    void stopWatching();
    // Stops watching and forgets the folder.
    void forgetFolder();

    // The PDFs and images now in the folder, in file-name order: immediate children only, hidden
    // files and outputs left out ("…_searchable", and what InputFiles::withoutOutputs leaves out
    // for the name template). Empty when there is no folder.
    QStringList existingFiles() const;
    // Hands everything now in the folder to the handler, also files handed over before. Files the
    // acceptance check refuses (a batch runs) wait for the scans, as arrivals do.
    void processExisting();

    // The candidates of any folder, as existingFiles() lists them.
    static QStringList candidateFiles(const QString& folder, const QString& nameTemplate);
    // The name by which a file is remembered as handed over.
    static QString fileKey(const QString& path);

Q_SIGNALS:
    void folderURLChanged();
    void isWatchingChanged(bool isWatching);
    void statusMessageChanged();

private:
    void restoreFolder();
    void beginWatching();
    void stop();
    void scheduleScan();
    void poll();
    void scan();
    bool folderIsThere();
    bool handledFileChanged() const;
    void setFolderURL(const std::optional<QString>& folder);
    void setWatching(bool watching);
    void setStatusMessage(const std::optional<QString>& message);

    std::optional<QString> m_folderURL;
    bool m_isWatching = false;
    std::optional<QString> m_statusMessage;
    Handler m_handler;
    AcceptCheck m_shouldAccept;
    NameTemplate m_nameTemplate = [] { return OutputPath::defaultTemplate; };
    QSettings& m_defaults;
    QFileSystemWatcher* m_source = nullptr;
    // Size and modification date of a file.
    struct Snapshot {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Snapshot&) const = default;
    };
    static Snapshot snapshotOf(const QString& path);
    static bool changedSinceHandled(const QString& key, const Snapshot& handled);
    // The files handed over (or there before watching began), each as it was then. One that is
    // found different later (written to again, or replaced) is offered again, whether its run
    // succeeded or failed.
    QHash<QString, Snapshot> m_handled;
    // Each deferred file as the last scan saw it.
    QHash<QString, Snapshot> m_lastSeen;
    QTimer m_scanTimer;
    QTimer m_pollTimer;
    // The folder's date and number of entries as the last poll found them.
    std::pair<QDateTime, qsizetype> m_folderLook;
};

} // namespace quorvane
