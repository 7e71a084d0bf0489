#pragma once

// What every program built on the engine does first, while its main thread is still the only one.

namespace quorvane::ProcessStart {

// Call first in main(), before anything can start a thread: settles the process-wide settings
// that threads would otherwise race for (the environment, the heap's policy).
void beforeAnyThread();

} // namespace quorvane::ProcessStart
