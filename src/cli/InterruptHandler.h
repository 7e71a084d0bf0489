#pragma once

// Turns Ctrl-C (SIGINT) and SIGTERM into a Qt signal on the main thread, so that the program can
// finish the documents in flight instead of dying with half-written files.

#include <QObject>

class QSocketNotifier;

namespace quorvane::cli {

class InterruptHandler : public QObject {
    Q_OBJECT

public:
    explicit InterruptHandler(QObject* parent = nullptr);
    ~InterruptHandler() override;

Q_SIGNALS:
    void interrupted();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quorvane::cli
