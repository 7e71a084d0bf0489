#pragma once

// Fitting text to a terminal: its width in columns, and lines cut to it.

#include <QString>

namespace quorvane::cli::TerminalText {

// The columns of the terminal on this file descriptor; 80 when it is no terminal or will not say.
int columns(int fileDescriptor);

// The columns `text` takes on a terminal: two for wide (East Asian) characters, none for
// combining marks.
int width(const QString& text);

// `text` when it fits in `columns`, else its start and end around "…", so that both the name a
// line begins with and the outcome it ends with stay readable.
QString fitted(const QString& text, int columns);

} // namespace quorvane::cli::TerminalText
