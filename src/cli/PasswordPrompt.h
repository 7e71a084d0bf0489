#pragma once

#include <QString>
#include <optional>

namespace quorvane::cli {

// Asks for a password on the terminal without echo, or reads one line from standard input when
// it is not a terminal. Nothing when no line could be read.
std::optional<QString> readPassword(const QString& prompt);

} // namespace quorvane::cli
