#pragma once

// Turns Ctrl-C (SIGINT), SIGTERM, a closed terminal (SIGHUP) and a reader of our output that went
// away (SIGPIPE, `| head`) into Qt signals on the main thread, so that the program ends its
// documents in an orderly way instead of dying with half-written files.

#include <QObject>

class QSocketNotifier;

namespace quorvane {

class InterruptHandler : public QObject {
    Q_OBJECT

public:
    explicit InterruptHandler(QObject* parent = nullptr);
    ~InterruptHandler() override;

    // Waits outside the event loop until `descriptor` has something to read (true), or until one
    // of the signals above arrives (false), which is then also emitted as usual.
    static bool waitForInput(int descriptor);

Q_SIGNALS:
    // Ctrl-C.
    void interrupted();
    // SIGTERM, what `kill` and service managers send, SIGHUP and SIGPIPE: stop at once.
    void terminated();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quorvane
