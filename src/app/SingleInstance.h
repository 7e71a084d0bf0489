#pragma once

// One Quorvane per user: the first instance listens on a per-user local socket; a later
// `quorvane FILE…` hands its files to it and exits, and the first parks them in PendingDrops.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>

namespace quorvane {

class PendingDrops;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class HandOver {
        delivered,  // a running instance has the files
        noInstance, // nobody listens: this process is to be the instance
        noAnswer,   // something listens but did not take the files in time
    };

    // quorvane.socket in the user's private runtime folder; empty when there is none.
    static QString socketPath();

    // Hands the files (absolute paths) to the running instance, waiting at most `timeout`.
    static HandOver handOver(const QStringList& files, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    explicit SingleInstance(PendingDrops& drops, QObject* parent = nullptr);

    // Starts listening. A socket left behind by an instance that crashed is removed first; false
    // when another instance is listening already (it started at the same moment).
    bool listen();

private:
    void receive(class QLocalSocket* socket);

    QLocalServer m_server;
    PendingDrops& m_drops;
};

} // namespace quorvane
