#pragma once

// Letting the real Qt event loop run inside a test until something has happened.

#include <chrono>
#include <functional>

namespace quorvane::test {

// Runs the event loop until `condition` holds (checked every few milliseconds) or `limit` has
// passed; returns whether the condition holds. The limit only keeps a broken test from hanging.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Runs the event loop for this long.
void runFor(std::chrono::milliseconds duration);

} // namespace quorvane::test
