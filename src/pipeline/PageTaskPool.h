#pragma once

// The threads on which pages are rendered, cleaned and recognised: one per core available to the
// process, shared by every document in flight, so that one long document and a batch of short
// ones alike keep every core busy. Kept apart from Qt's global pool, which Qt's own painting
// borrows for a few milliseconds at a time and waits for; a window that paints while every
// global thread recognises a page would stand still until the page is done.
//
// Preparing and writing a document, and reading a page's text, run on documentTaskPool instead:
// they wait for files more than they compute, and a page queued behind them would leave a core idle.

#include <QThreadPool>

namespace quorvane {

QThreadPool* pageTaskPool();
QThreadPool* documentTaskPool();

// The cores this process may run on (its CPU affinity), at least 1.
int availableCores();

// How many pages are worked on at once, process-wide: availableCores() unless set. The benches
// set it to compare one page at a time with all cores; tests to run with a known count.
int pageThreadCount();
void setPageThreadCount(int count);

} // namespace quorvane
