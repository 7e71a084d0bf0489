#include "cli/PasswordPrompt.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quorvane::cli {

std::optional<QString> readPassword(const QString& prompt) {
    std::string line;
    if (!isatty(STDIN_FILENO)) {
        if (!std::getline(std::cin, line)) {
            return std::nullopt;
        }
    } else {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        termios saved{};
        tcgetattr(STDIN_FILENO, &saved);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
        const bool read = static_cast<bool>(std::getline(std::cin, line));
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
        if (!read) {
            return std::nullopt;
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return QString::fromLocal8Bit(line);
}

} // namespace quorvane::cli
