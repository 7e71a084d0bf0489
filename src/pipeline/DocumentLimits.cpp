#include "pipeline/DocumentLimits.h"

#include "core/OCRError.h"

#include "platform/FileNames.h"

namespace quorvane::DocumentLimits {

namespace {

constexpr std::int64_t bytesPerMB = 1048576;

const QString splitAdvice =
    QStringLiteral("for a single job. Split it into smaller files and process the parts separately.");

} // namespace

std::optional<std::int64_t> fileSize(const QString& path) {
    const auto status = FileNames::status(path);
    if (!status || !S_ISREG(status->st_mode)) {
        return std::nullopt; // missing, unreadable or a folder: no size to judge
    }
    return static_cast<std::int64_t>(status->st_size);
}

void checkFileSize(const QString& path, std::int64_t limit) {
    const auto size = fileSize(path);
    if (size && *size > limit) {
        throw OCRError::documentTooLarge(QStringLiteral("This file is %1 MB, over the %2 MB limit ")
                                             .arg(*size / bytesPerMB)
                                             .arg(limit / bytesPerMB) +
                                         splitAdvice);
    }
}

void checkPageCount(int count, int limit) {
    if (count > limit) {
        throw OCRError::documentTooLarge(
            QStringLiteral("This document has %1 pages to process, over the %2-page limit ").arg(count).arg(limit) +
            splitAdvice);
    }
}

} // namespace quorvane::DocumentLimits
