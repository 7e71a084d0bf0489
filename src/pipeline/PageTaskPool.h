#pragma once

// The threads on which documents are prepared, their pages rendered, cleaned and recognised, and
// their outputs written: one per core, for the whole process. Kept apart from Qt's global pool,
// which Qt's own painting borrows for a few milliseconds at a time and waits for; a window that
// paints while every global thread recognises a page would stand still until the page is done.

#include <QThreadPool>

namespace quorvane {

QThreadPool* pageTaskPool();

} // namespace quorvane
