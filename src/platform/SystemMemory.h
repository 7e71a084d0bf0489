#pragma once

// How much memory the system can still give this process without swapping.

#include <cstdint>
#include <optional>

namespace quorvane::SystemMemory {

// The kernel's estimate of memory available for new work (MemAvailable), in bytes; none when it
// cannot be read.
std::optional<std::uint64_t> availableBytes();

} // namespace quorvane::SystemMemory
