#pragma once

#include <QString>
#include <optional>

namespace quorvane::cli {

struct PasswordAnswer {
    std::optional<QString> password; // nothing when no line could be read
    bool interrupted = false;        // Ctrl-C (or another stopping signal) while waiting
};

// Asks for a password on the terminal without echo, or reads one line from standard input when
// it is not a terminal.
PasswordAnswer readPassword(const QString& prompt);

} // namespace quorvane::cli
