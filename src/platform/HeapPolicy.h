#pragma once

// How the process's heap holds memory. Page work allocates and frees bitmaps of tens of
// megabytes on several threads. Mapped afresh for each bitmap, every page of memory is faulted
// in and zeroed by the kernel on first touch (about 25 ms for one grey 300-DPI page on a
// virtual machine); kept on the heap, later bitmaps reuse what earlier ones freed. Kept without
// a bound, the freed space of every thread's heap would stay with the process and a long
// document's peak grow page after page.

namespace quorvane::HeapPolicy {

// Free memory kept for the next pages: a few pages' bitmaps.
inline constexpr unsigned long keptFreeBytes = 64ul << 20;

// Blocks up to the largest the heap takes (32 MB, more than a 300-DPI RGB page) come from the
// heap, whose free space is kept until trimExcess. Call once, early in main.
void keepMemoryWithinPages();

// Gives the free memory of every thread's heap back to the system when more than keptFreeBytes
// lies free; for a moment when no page is worked on: it holds each heap while it trims it.
void trimExcess();

} // namespace quorvane::HeapPolicy
