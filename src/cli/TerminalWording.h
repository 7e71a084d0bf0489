#pragma once

// The engine's messages in the terminal's words: where a text sends the user to the window
// ("in Settings", "choose it again"), it says what to type instead.

#include <QString>

namespace quorvane::cli::TerminalWording {

// A document's failure message, for a document run on its own (which can take --password) or
// in a batch, and whether --password was given (and read no password).
QString failure(const QString& message, bool onItsOwn, bool passwordAsked = false);

// What the folder watcher reports about the folder it watches.
QString watcherStatus(const QString& message);

} // namespace quorvane::cli::TerminalWording
