#pragma once

// One queued file of a batch and where it stands. The batch list, its counts and the batch
// report are all read from these records.

#include "pipeline/OCRPipeline.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace quorvane {

struct ItemStatus {
    enum class Kind { pending, processing, done, failed, skippedExisting, cancelled };

    Kind kind = Kind::pending;
    QString detail;          // processing: the progress text
    DocumentSummary summary; // done
    QString message;         // failed: the message shown
    QString output;          // skippedExisting: the path of the up-to-date output
    std::optional<OCRError::Kind> errorKind; // failed: the kind of OCRError that ended the run, if it was one

    static ItemStatus pending() { return {}; }
    static ItemStatus processing(const QString& detail) { return {Kind::processing, detail, {}, {}, {}}; }
    static ItemStatus done(const DocumentSummary& summary) { return {Kind::done, {}, summary, {}, {}}; }
    static ItemStatus failed(const QString& message, std::optional<OCRError::Kind> errorKind = std::nullopt) {
        return {Kind::failed, {}, {}, message, {}, errorKind};
    }
    static ItemStatus skippedExisting(const QString& output) { return {Kind::skippedExisting, {}, {}, {}, output}; }
    static ItemStatus cancelled() { return {Kind::cancelled, {}, {}, {}, {}}; }

    // Done, failed, skipped or cancelled: nothing more will happen to the item in this run.
    bool isCompleted() const;

    // The line the batch list shows: "Pending", the progress detail, "Already searchable" or
    // "3 recognized, 1 skipped", the failure message, "Skipped — output exists" or "Cancelled".
    QString text() const;
    // The second line of a done item whose text sidecar could not be written; empty otherwise.
    QString sidecarNote() const;

    bool operator==(const ItemStatus&) const = default;
};

struct BatchItem {
    QUuid id;
    QString sourceURL; // the document or image to process
    ItemStatus status;

    // A pending item with a fresh random id.
    static BatchItem queued(const QString& sourceURL);

    // The file this item produced or kept: the written output of a done item (none when every page
    // already had text), the existing output of a skipped one.
    std::optional<QString> outputURL() const;

    bool operator==(const BatchItem&) const = default;
};

} // namespace quorvane
