#include "platform/RenderChannel.h"

#include <QFile>
#include <QList>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane::RenderChannel {

namespace {

using std::chrono::milliseconds;

// The processor time a process has used so far (user and system).
milliseconds processorTime(pid_t process) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat.open(QIODevice::ReadOnly)) {
        return milliseconds(0);
    }
    // The fields after the command name, which is in parentheses and may hold spaces.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return milliseconds(0);
    }
    const long long ticks = fields[11].toLongLong() + fields[12].toLongLong(); // utime, stime
    return milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

} // namespace

Budget::Budget(pid_t renderer, milliseconds limit)
    : renderer_(renderer), limit_(limit), start_(processorTime(renderer)),
      deadline_(std::chrono::steady_clock::now() + 10 * limit) {}

bool Budget::spent() const {
    return processorTime(renderer_) - start_ > limit_ || std::chrono::steady_clock::now() > deadline_;
}

void receive(int channel, void* data, size_t length, const Budget& budget) {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        pollfd ready{channel, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 200);
        if (polled < 0 && errno != EINTR) {
            throw Closed();
        }
        if (polled <= 0) {
            if (budget.spent()) {
                throw TimedOut();
            }
            continue;
        }
        const ssize_t got = ::recv(channel, bytes, length, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            throw Closed();
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
}

} // namespace quorvane::RenderChannel
