#pragma once

// The update feed: the JSON document that says which release is the newest. Every key is
// required; decoding fails with a readable reason when one is missing or of the wrong kind.

#include <QByteArray>
#include <QList>
#include <QString>
#include <variant>

namespace quorvane {

struct UpdateFeed {
    struct Release {
        QString version;
        QString url;
        QString notes;
        QString notesEn;
        QString date;
        bool operator==(const Release&) const = default;
    };

    QString version;
    QString url;
    QString notes;
    QString notesEn;
    QList<Release> releases; // newest first

    // The feed, or why it could not be read.
    static std::variant<UpdateFeed, QString> decode(const QByteArray& json);

    // The newest published version: the first release's, or the feed's own when it lists none.
    QString latestVersion() const { return releases.isEmpty() ? version : releases.first().version; }

    bool operator==(const UpdateFeed&) const = default;
};

} // namespace quorvane
