#pragma once

// Reading the page renderer's answer within what one page may spend.

#include <chrono>
#include <cstddef>
#include <exception>
#include <sys/types.h>

namespace quorvane::RenderChannel {

class TimedOut : public std::exception {};
class Closed : public std::exception {};

// What a page may spend: processor time of its renderer, which a busy machine does not inflate,
// and, against a renderer that waits instead of working, ten times as long on the clock.
class Budget {
public:
    Budget(pid_t renderer, std::chrono::milliseconds limit);
    bool spent() const;

private:
    pid_t renderer_;
    std::chrono::milliseconds limit_;
    std::chrono::milliseconds start_;
    std::chrono::steady_clock::time_point deadline_;
};

// Reads exactly `length` bytes from the socket; throws TimedOut when nothing more arrives once
// the budget is spent, Closed when the renderer is gone. What has arrived is always read first: a
// program suspended (Ctrl-Z) while its renderer finished the page takes the page when it goes on.
void receive(int channel, void* data, size_t length, const Budget& budget);

} // namespace quorvane::RenderChannel
