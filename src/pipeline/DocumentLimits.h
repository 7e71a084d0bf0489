#pragma once

// Refuses jobs that are too large, with a message that tells the user what to do.

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvane::DocumentLimits {

inline constexpr int maxPages = 2000;
inline constexpr std::int64_t maxFileSize = 524288000; // 500 MiB

std::optional<std::int64_t> fileSize(const QString& path);

// Throw OCRError::documentTooLarge with the reason text when over the limit.
void checkFileSize(const QString& path, std::int64_t limit);
void checkPageCount(int count, int limit);

} // namespace quorvane::DocumentLimits
