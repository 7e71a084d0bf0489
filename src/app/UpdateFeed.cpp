#include "app/UpdateFeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace quorvane {

namespace {

struct DecodingError {
    QString message;
};

QString requiredString(const QJsonObject& object, const char* key, const QString& where) {
    const auto value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        throw DecodingError{QStringLiteral("The update feed is missing \"%1\"%2.").arg(QLatin1String(key), where)};
    }
    if (!value.isString()) {
        throw DecodingError{QStringLiteral("The update feed's \"%1\"%2 is not text.").arg(QLatin1String(key), where)};
    }
    return value.toString();
}

} // namespace

std::variant<UpdateFeed, QString> UpdateFeed::decode(const QByteArray& json) {
    QJsonParseError parseError;
    const auto document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("The update feed is not valid JSON: %1.").arg(parseError.errorString());
    }
    if (!document.isObject()) {
        return QStringLiteral("The update feed is not a JSON object.");
    }
    try {
        const QJsonObject object = document.object();
        UpdateFeed feed;
        feed.version = requiredString(object, "version", {});
        feed.url = requiredString(object, "url", {});
        feed.notes = requiredString(object, "notes", {});
        feed.notesEn = requiredString(object, "notes_en", {});
        const auto releases = object.value(QLatin1String("releases"));
        if (releases.isUndefined()) {
            throw DecodingError{QStringLiteral("The update feed is missing \"releases\".")};
        }
        if (!releases.isArray()) {
            throw DecodingError{QStringLiteral("The update feed's \"releases\" is not a list.")};
        }
        const QJsonArray entries = releases.toArray();
        for (int index = 0; index < entries.size(); ++index) {
            const QString where = QStringLiteral(" in release %1").arg(index + 1);
            if (!entries[index].isObject()) {
                throw DecodingError{QStringLiteral("The update feed's release %1 is not a JSON object.").arg(index + 1)};
            }
            const QJsonObject entry = entries[index].toObject();
            feed.releases.append(Release{
                .version = requiredString(entry, "version", where),
                .url = requiredString(entry, "url", where),
                .notes = requiredString(entry, "notes", where),
                .notesEn = requiredString(entry, "notes_en", where),
                .date = requiredString(entry, "date", where),
            });
        }
        return feed;
    } catch (const DecodingError& error) {
        return error.message;
    }
}

} // namespace quorvane
