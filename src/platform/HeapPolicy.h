#pragma once

// How the process's heap holds memory. Page work allocates and frees bitmaps of tens of
// megabytes on several threads. Mapped afresh for each bitmap, every page of memory is faulted
// in and zeroed by the kernel on first touch (about 25 ms for one grey 300-DPI page on a
// virtual machine); kept on the heap, a page's later bitmaps reuse what its earlier ones freed.
// Kept for good, the freed space would stay with the process and a long document's peak grow
// page after page: it goes back to the system after each page instead.

namespace quorvane::HeapPolicy {

// Blocks up to the largest the heap takes (32 MB, a 300-DPI RGB page) come from the heap, whose
// free space is kept until trimNow. Call once, early in main.
void keepMemoryWithinPages();

// Gives the free memory of every thread's heap back to the system now; for the end of a page.
void trimNow();

} // namespace quorvane::HeapPolicy
