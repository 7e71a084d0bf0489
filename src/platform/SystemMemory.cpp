#include "platform/SystemMemory.h"

#include <cstdio>

namespace quorvane::SystemMemory {

std::optional<std::uint64_t> availableBytes() {
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> available;
    char line[256];
    unsigned long long kibibytes = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::sscanf(line, "MemAvailable: %llu kB", &kibibytes) == 1) {
            available = std::uint64_t(kibibytes) * 1024;
            break;
        }
    }
    std::fclose(file);
    return available;
}

} // namespace quorvane::SystemMemory
