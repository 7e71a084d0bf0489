#pragma once

// The small symbols of the windows: the status of a batch row, the mark beside a result, and the
// marks of the preview (its note, its warning, its process button).
// Drawn here so that they look the same on every desktop, icon theme or not.

#include <QPixmap>

namespace quorvane::StatusIcons {

enum class Symbol {
    clock,      // pending
    progress,   // processing
    checkmark,  // done, in green
    sealed,     // already searchable
    failure,    // failed, in red
    skipped,    // skipped because an output exists
    cancelled,
    eye,        // a preview note
    warning,    // a file that cannot be previewed, in orange
    play,       // process now
};

// The symbol at `size` device-independent pixels, sharp on the screen's pixel ratio.
QPixmap pixmap(Symbol symbol, int size, qreal devicePixelRatio = 1.0);

} // namespace quorvane::StatusIcons
