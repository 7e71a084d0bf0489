#pragma once

// Text for the terminal or a pipe. On a terminal, control characters in file names and messages
// (which could move the cursor, change colours or retitle the window) are shown escaped ("\x1B"),
// as are the bytes of names that are not UTF-8 ("\xFF"); into a pipe or a file, names keep their own
// bytes, so that scripts can use them.

#include <QString>
#include <cstdio>

namespace quorvane::cli::Terminal {

bool isTerminal(FILE* stream);

// `text` as it may be shown on `stream`: escaped on a terminal, unchanged elsewhere. Line breaks
// are escaped too unless `keepLineBreaks` (for texts of several lines, not for names).
QString shown(const QString& text, FILE* stream, bool keepLineBreaks = false);

// Writes and flushes; names keep their own bytes.
void print(FILE* stream, const QString& text);

} // namespace quorvane::cli::Terminal
