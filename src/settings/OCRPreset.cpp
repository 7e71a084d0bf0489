#include "settings/OCRPreset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace quorvane {

namespace {

const QString idKey = QStringLiteral("id");
const QString nameKey = QStringLiteral("name");

// The text of each element of a JSON array that QJsonDocument has already accepted, as it stands
// in `json` (without the white space around it).
QList<QByteArray> elementTexts(const QByteArray& json) {
    QList<QByteArray> elements;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const auto add = [&](qsizetype start, qsizetype end) {
        while (end > start && isSpace(json[end - 1])) {
            --end;
        }
        elements.append(json.mid(start, end - start));
    };
    qsizetype i = json.indexOf('[') + 1;
    qsizetype start = -1;
    int depth = 0;
    bool inString = false;
    for (; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (start < 0 && !isSpace(c) && c != ']') {
            start = i;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        } else if ((c == ',' || c == ']') && depth == 0) {
            if (start >= 0) {
                add(start, i);
            }
            if (c == ']') {
                break;
            }
            start = -1;
        }
    }
    return elements;
}

} // namespace

bool OCRPreset::hasSameSettings(const OCRPreset& other) const {
    return settings.presetPart() == other.settings.presetPart();
}

QString OCRPreset::tag() const {
    return uuidText(id);
}

QJsonObject OCRPreset::toJson() const {
    QJsonObject object = otherKeys;
    object.insert(idKey, uuidText(id));
    object.insert(nameKey, name);
    for (const auto& row : settingsTable()) {
        if (row.inPresets()) {
            object.insert(row.presetKey, quorvane::toJson(settings.value(row.setting)));
        }
    }
    return object;
}

std::optional<OCRPreset> OCRPreset::fromJson(const QJsonValue& value) {
    if (!value.isObject()) {
        return std::nullopt;
    }
    auto object = value.toObject();
    const auto id =
        object.value(idKey).isString() ? uuidFromText(object.take(idKey).toString()) : std::nullopt;
    if (!id || !object.value(nameKey).isString()) {
        return std::nullopt;
    }
    OCRPreset preset{*id, object.take(nameKey).toString(), {}, {}};
    for (const auto& row : settingsTable()) {
        if (!row.inPresets()) {
            continue;
        }
        const auto setting = quorvane::fromJson(object.take(row.presetKey), row.defaultValue);
        if (!setting) {
            return std::nullopt;
        }
        preset.settings.set(row.setting, *setting);
    }
    preset.otherKeys = object;
    return preset;
}

QByteArray encodePresets(const StoredPresets& stored) {
    QList<QByteArray> elements;
    const auto addUnreadable = [&](qsizetype readableBefore) {
        for (const auto& element : stored.unreadable) {
            if (element.readableBefore == readableBefore ||
                (readableBefore == stored.presets.size() && element.readableBefore > readableBefore)) {
                elements.append(element.json);
            }
        }
    };
    for (qsizetype i = 0; i < stored.presets.size(); ++i) {
        addUnreadable(i);
        elements.append(QJsonDocument(stored.presets[i].toJson()).toJson(QJsonDocument::Compact));
    }
    addUnreadable(stored.presets.size());
    return '[' + elements.join(',') + ']';
}

std::optional<StoredPresets> decodePresets(const QByteArray& data) {
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    const auto array = document.array();
    const auto texts = elementTexts(data);
    if (texts.size() != array.size()) {
        return std::nullopt; // not where the reader found them: keep the whole value instead
    }
    StoredPresets stored;
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (auto preset = OCRPreset::fromJson(array[i])) {
            stored.presets.append(std::move(*preset));
        } else {
            stored.unreadable.append({texts[i], stored.presets.size()});
        }
    }
    return stored;
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(const QString& text) {
    // QUuid alone also accepts braces and reads garbage as the null UUID; only the plain form counts.
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch()) {
        return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace quorvane
