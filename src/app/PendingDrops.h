#pragma once

// Files handed in from outside the main window (another `quorvane FILE…` started by the file
// manager's "Open With"), kept until the window takes them.

#include <QObject>
#include <QStringList>

namespace quorvane {

class PendingDrops : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Adds the files at the end and announces them (also for an empty list: the window comes up).
    void append(const QStringList& paths);
    // All pending files, oldest first; the list is empty afterwards.
    QStringList take();
    bool isEmpty() const { return m_urls.isEmpty(); }

Q_SIGNALS:
    // "quorvaneProcessFiles": files are waiting.
    void processFiles();

private:
    QStringList m_urls;
};

} // namespace quorvane
