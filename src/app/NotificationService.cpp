#include "app/NotificationService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace quorvane::NotificationService {

Content documentContent(const QString& fileName, const DocumentSummary& summary) {
    if (summary.processedPages < 1) {
        return {QStringLiteral("Already searchable"),
                fileName + QStringLiteral(" already had a text layer \u2014 no new file was created.")};
    }
    QString body = QStringLiteral("%1: %2 page(s) recognized").arg(fileName).arg(summary.processedPages);
    if (summary.skippedPages > 0) {
        body += QStringLiteral(", %1 skipped").arg(summary.skippedPages);
    }
    body += QLatin1Char('.');
    if (summary.lowConfidencePages > 0) {
        body += QStringLiteral(" %1 page(s) scored low confidence \u2014 worth a quick check.")
                    .arg(summary.lowConfidencePages);
    }
    return {QStringLiteral("OCR complete"), body};
}

Content batchContent(const QList<BatchItem>& items) {
    int done = 0;
    int skipped = 0;
    int cancelled = 0;
    int failed = 0;
    for (const auto& item : items) {
        switch (item.status.kind) {
        case ItemStatus::Kind::done: done += 1; break;
        case ItemStatus::Kind::skippedExisting: skipped += 1; break;
        case ItemStatus::Kind::cancelled: cancelled += 1; break;
        case ItemStatus::Kind::failed: failed += 1; break;
        case ItemStatus::Kind::pending:
        case ItemStatus::Kind::processing: break;
        }
    }
    QString body = QStringLiteral("%1 of %2 file(s) processed.").arg(done).arg(items.size());
    if (skipped > 0) {
        body += QStringLiteral(" %1 already had outputs and were skipped.").arg(skipped);
    }
    if (cancelled > 0) {
        body += QStringLiteral(" %1 cancelled.").arg(cancelled);
    }
    if (failed > 0) {
        body += QStringLiteral(" %1 failed \u2014 see the queue for details.").arg(failed);
    }
    return {QStringLiteral("Batch complete"), body};
}

void post(const QString& title, const QString& body, bool enabled) {
    if (!enabled) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    auto message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the server show the application's name and icon as installed; the
    // sound is the theme's "task finished" sound where the server plays sounds.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral(QUORVANE_APP_ID)},
        {QStringLiteral("sound-name"), QStringLiteral("complete")},
    };
    message << appName << 0u << QStringLiteral(QUORVANE_APP_ID) << title << body << QStringList() << hints << -1;
    // Fire and forget: the reply, or the error of a bus without a notification server, is not awaited.
    bus.send(message);
}

} // namespace quorvane::NotificationService
