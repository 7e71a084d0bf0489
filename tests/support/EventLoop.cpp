#include "support/EventLoop.h"

#include <QEventLoop>
#include <QTimer>

namespace quorvane::test {

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    poll.start(std::chrono::milliseconds(10));
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

void runFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quorvane::test
