#include "cli/PasswordPrompt.h"

#include "platform/InterruptHandler.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quorvane::cli {

PasswordAnswer readPassword(const QString& prompt) {
    std::string line;
    bool read = false, interrupted = false;
    if (!isatty(STDIN_FILENO)) {
        interrupted = !InterruptHandler::waitForInput(STDIN_FILENO);
        read = !interrupted && std::getline(std::cin, line);
    } else {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        termios saved{};
        tcgetattr(STDIN_FILENO, &saved);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
        // The terminal hands over whole lines: once there is input, the line is complete.
        interrupted = !InterruptHandler::waitForInput(STDIN_FILENO);
        read = !interrupted && std::getline(std::cin, line);
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
