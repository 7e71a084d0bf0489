#include "jobs/BatchItem.h"

namespace quorvane {

bool ItemStatus::isCompleted() const {
    return kind == Kind::done || kind == Kind::failed || kind == Kind::skippedExisting ||
           kind == Kind::cancelled;
}

QString ItemStatus::text() const {
    switch (kind) {
    case Kind::pending: return QStringLiteral("Pending");
    case Kind::processing: return detail;
    case Kind::done:
        if (summary.processedPages == 0) {
            return QStringLiteral("Already searchable");
        }
        return QStringLiteral("%1 recognized, %2 skipped").arg(summary.processedPages).arg(summary.skippedPages);
    case Kind::failed: return message;
    case Kind::skippedExisting: return QStringLiteral("Skipped \u2014 output exists");
    case Kind::cancelled: return QStringLiteral("Cancelled");
    }
    return {};
}

QString ItemStatus::sidecarNote() const {
    if (kind != Kind::done || !summary.sidecarError) {
        return {};
    }
    return QStringLiteral(".txt not saved: ") + *summary.sidecarError;
}

BatchItem BatchItem::queued(const QString& sourceURL) {
    return {QUuid::createUuid(), sourceURL, ItemStatus::pending()};
}

std::optional<QString> BatchItem::outputURL() const {
    switch (status.kind) {
    case ItemStatus::Kind::done: return status.summary.outputURL;
    case ItemStatus::Kind::skippedExisting: return status.output;
    default: return std::nullopt;
    }
}

} // namespace quorvane
