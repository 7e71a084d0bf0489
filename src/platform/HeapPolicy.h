#pragma once

// How the process's heap gives memory back. Page work allocates and frees bitmaps of tens of
// megabytes on several threads; with glibc's defaults the freed space stays with the process,
// and a long document's peak grows page after page.

namespace quorvane::HeapPolicy {

// Large blocks are mapped and unmapped on their own, and free space above a megabyte at the top
// of a heap goes back to the system. Call once, early in main.
void returnFreedMemory();

// Gives the free memory of every thread's heap back to the system now; for the end of a page.
void trimNow();

} // namespace quorvane::HeapPolicy
