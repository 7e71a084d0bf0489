#include "platform/RenderProcess.h"

#include "platform/FileNames.h"
#include "platform/RenderChannel.h"
#include "platform/RenderProtocol.h"

#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvane {

namespace {

using RenderChannel::Budget;
using RenderChannel::Closed;
using RenderChannel::TimedOut;
using RenderChannel::receive;

QString secondsText(std::chrono::milliseconds limit) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    return seconds >= 1 ? QStringLiteral("%1 seconds").arg(seconds) : QStringLiteral("%1 ms").arg(limit.count());
}

} // namespace

RenderProcess::RenderProcess(int document) : document_(::fcntl(document, F_DUPFD_CLOEXEC, 4)) {}

RenderProcess::~RenderProcess() {
    stop();
    if (document_ >= 0) {
        ::close(document_);
    }
}

QString RenderProcess::program() {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
    if (length > 0 && static_cast<size_t>(length) < sizeof self) {
        const QString beside = QFileInfo(FileNames::decode(QByteArray(self, length))).absolutePath() +
                               QStringLiteral("/quorvane-render");
        if (FileNames::exists(beside)) {
            return beside;
        }
    }
    return QStringLiteral(QUORVANE_RENDER_PROGRAM);
}

void RenderProcess::start() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        throw Stopped(QStringLiteral("the page renderer could not be started: ") + qt_error_string(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], RenderProtocol::socketDescriptor);
    posix_spawn_file_actions_adddup2(&actions, document_, RenderProtocol::documentDescriptor);
    // The renderer takes its signals as a fresh program does, whatever the engine blocks. In a
    // process group of its own, it does not get the terminal's Ctrl-C or hang-up: those are for
    // the program, which decides what becomes of the page (after a first Ctrl-C, the documents in
    // progress are finished).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    const QByteArray path = FileNames::encode(program());
    char* arguments[] = {const_cast<char*>(path.constData()), nullptr};
    const int error = ::posix_spawn(&child_, path.constData(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pair[1]);
    if (error != 0) {
        ::close(pair[0]);
        child_ = -1;
        throw Stopped(QStringLiteral("the page renderer \"%1\" could not be started: %2")
                          .arg(FileNames::shown(program()), qt_error_string(error)));
    }
    channel_ = pair[0];
}

void RenderProcess::stop() {
    if (channel_ >= 0) {
        ::close(channel_); // a renderer between pages sees the end and leaves
        channel_ = -1;
    }
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
        }
        child_ = -1;
    }
}

std::optional<Raster> RenderProcess::render(const Request& request, std::chrono::milliseconds timeLimit) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (child_ <= 0) {
        start();
    }
    const Budget budget(child_, timeLimit);
    const RenderProtocol::Request wire{request.pageIndex, request.columns, request.rows, request.quarterTurns,
                                       request.grey ? 1 : 0, request.resolution};
    try {
        if (::send(channel_, &wire, sizeof wire, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof wire)) {
            throw Closed();
        }
        RenderProtocol::Answer answer{};
        receive(channel_, &answer, sizeof answer, budget);
        if (answer.drawn == 0) {
            return std::nullopt;
        }
        if (answer.columns != request.columns || answer.rows != request.rows ||
            answer.channels != (request.grey ? 1 : 3)) {
            throw Closed();
        }
        Raster pixels(answer.rows, answer.columns, answer.channels == 1 ? CV_8UC1 : CV_8UC3);
        receive(channel_, pixels.data, pixels.total() * pixels.elemSize(), budget);
        return pixels;
    } catch (const TimedOut&) {
        stop();
        throw Stopped(QStringLiteral("it took longer than %1 to draw, so it was stopped.").arg(secondsText(timeLimit)));
    } catch (const Closed&) {
        int status = 0;
        const pid_t child = std::exchange(child_, -1);
        ::close(std::exchange(channel_, -1));
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFSIGNALED(status)) {
            throw Stopped(QStringLiteral("drawing it stopped the page renderer (%1). The page may be damaged, or "
                                         "need more than the %2 MB of memory one page may use.")
                              .arg(QString::fromLocal8Bit(::strsignal(WTERMSIG(status))))
                              .arg(memoryLimitMB));
        }
        throw Stopped(QStringLiteral("the page renderer ended while drawing it (exit status %1).")
                          .arg(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
    }
}

} // namespace quorvane
