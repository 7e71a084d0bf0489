#include "platform/InterruptHandler.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane {

namespace {

int signalSockets[2] = {-1, -1};

// A write to a closed pipe (SIGPIPE) then fails instead of ending the program mid-document; our
// own pipes to child processes never raise it.
constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
struct sigaction previousActions[std::size(handledSignals)];

// Only async-signal-safe work here: the signal's number through the socket wakes the event loop.
void onSignal(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

InterruptHandler::InterruptHandler(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) {
        return; // Ctrl-C then simply ends the program, as it would without us.
    }
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) != 1) {
            return;
        }
        if (byte == SIGINT) {
            Q_EMIT interrupted();
        } else {
            Q_EMIT terminated();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        sigaction(handledSignals[i], nullptr, &previousActions[i]);
        // A signal ignored by whoever started us stays ignored: `nohup` keeps a watch running
        // after its terminal closes, a script's `&` keeps Ctrl-C from background jobs.
        if (previousActions[i].sa_handler != SIG_IGN) {
            sigaction(handledSignals[i], &action, nullptr);
        }
    }
}

bool InterruptHandler::waitForInput(int descriptor) {
    pollfd watched[] = {{descriptor, POLLIN, 0}, {signalSockets[1], POLLIN, 0}};
    const nfds_t count = signalSockets[1] >= 0 ? 2 : 1;
    while (true) {
        const int ready = ::poll(watched, count, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || watched[0].revents != 0) {
            return true; // the read says what is wrong, if anything
        }
        if (watched[1].revents != 0) {
            return false;
        }
    }
}

InterruptHandler::~InterruptHandler() {
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        sigaction(handledSignals[i], &previousActions[i], nullptr);
    }
    if (signalSockets[0] >= 0) {
        ::close(signalSockets[0]);
        ::close(signalSockets[1]);
        signalSockets[0] = signalSockets[1] = -1;
    }
}

} // namespace quorvane
