#pragma once

// The desktop notifications that say a document or a batch has finished, shown by the
// notification server of the session (org.freedesktop.Notifications).

#include "jobs/BatchItem.h"
#include "pipeline/OCRPipeline.h"

#include <QList>
#include <QString>

namespace quorvane::NotificationService {

struct Content {
    QString title;
    QString body;
    bool operator==(const Content&) const = default;
};

inline const QString appName = QStringLiteral("Quorvane");

// "OCR complete" / "scan.pdf: 5 page(s) recognized, 2 skipped.", or "Already searchable".
Content documentContent(const QString& fileName, const DocumentSummary& summary);
// "Batch complete" / "2 of 4 file(s) processed. 1 already had outputs and were skipped. …"
Content batchContent(const QList<BatchItem>& items);

// Shows the notification unless `enabled` is false; returns at once. Without a session bus or a
// notification server nothing is shown and nothing is reported.
void post(const QString& title, const QString& body, bool enabled);

} // namespace quorvane::NotificationService
