#include "cli/TerminalProgressView.h"

#include "cli/TerminalText.h"

#include <QSocketNotifier>

#include <algorithm>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane::cli {

namespace {

int resizePipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte through the pipe wakes the event loop.
void onResize(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(resizePipe[1], &byte, 1);
}

} // namespace

TerminalProgressView::TerminalProgressView(FILE* stream, QObject* parent)
    : QObject(parent), stream_(stream), descriptor_(::fileno(stream)) {
    if (resizePipe[0] < 0 && ::pipe2(resizePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // without it, the next redraw still finds the new width
    }
    resized_ = new QSocketNotifier(resizePipe[0], QSocketNotifier::Read, this);
    connect(resized_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(resizePipe[0], bytes, sizeof bytes) > 0) {
        }
        redraw();
    });
    struct sigaction action {};
    action.sa_handler = onResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
}

TerminalProgressView::~TerminalProgressView() { std::signal(SIGWINCH, SIG_DFL); }

void TerminalProgressView::show(const QStringList& lines, const QStringList& live) {
    if (lines.isEmpty() && live == live_) {
        return;
    }
    live_ = live;
    redraw(lines);
}

void TerminalProgressView::redraw(const QStringList& above) {
    // The last column is left free: some terminals wrap as soon as it is written.
    const int columns = std::max(1, TerminalText::columns(descriptor_) - 1);
    // Back to the block's first line and everything below it cleared; then the block again.
    QString text = drawnLines_ > 0 ? QStringLiteral("\r\033[%1A\033[J").arg(drawnLines_) : QStringLiteral("\r\033[J");
    for (const auto& line : above + live_) {
        text += TerminalText::fitted(line, columns) + QLatin1Char('\n');
    }
    drawnLines_ = static_cast<int>(live_.size());
    std::fputs(text.toLocal8Bit().constData(), stream_);
    std::fflush(stream_);
}

} // namespace quorvane::cli
