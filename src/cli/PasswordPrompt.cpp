#include "cli/PasswordPrompt.h"

#include "platform/InterruptHandler.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quorvane::cli {

PasswordAnswer readPassword(const QString& prompt) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    // A terminal hands over whole lines: once there is input, the line is complete.
    const bool interrupted = !InterruptHandler::waitForInput(STDIN_FILENO);
    std::string line;
    const bool read = !interrupted && std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!read) {
        return {std::nullopt, interrupted};
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return {QString::fromLocal8Bit(line), false};
}

} // namespace quorvane::cli
