#pragma once

// A named snapshot of every setting that shapes a job: the recognition settings and the output
// name template. Presets are stored together as one JSON array. An element this version cannot
// read (a newer version's value, a damaged entry) is not shown but is kept byte for byte and
// written back with the others, so no preset is ever lost.

#include "core/OCROptions.h"
#include "settings/SettingValues.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace quorvane {

struct OCRPreset {
    QUuid id;
    QString name;
    SettingValues settings; // those presets carry (see SettingDescription::inPresets)
    // Keys this version does not know (a newer version's additions), written back as they were.
    QJsonObject otherKeys;

    // True when every setting presets carry is equal; `id` and `name` do not count. Languages must
    // be in the same order and texts are compared exactly, without trimming.
    bool hasSameSettings(const OCRPreset& other) const;
    // The options of a job run with these settings (no region).
    OCROptions options() const { return jobOptions(settings); }

    // The picker's tag of this preset: the upper-case string of its id, without braces.
    QString tag() const;

    QJsonObject toJson() const;
    // Every key present with the right type and known raw values, or nothing.
    static std::optional<OCRPreset> fromJson(const QJsonValue& value);

    bool operator==(const OCRPreset&) const = default;
};

// An element of the stored array that this version cannot read.
struct UnreadablePreset {
    QByteArray json;          // exactly as stored
    qsizetype readableBefore; // how many readable presets came before it: it keeps its place after them
    bool operator==(const UnreadablePreset&) const = default;
};

struct StoredPresets {
    QList<OCRPreset> presets;
    QList<UnreadablePreset> unreadable;
    bool operator==(const StoredPresets&) const = default;
};

// Compact JSON of the whole array, in order, unreadable elements in their places.
QByteArray encodePresets(const StoredPresets& stored);
// The array's elements, read or kept; nothing when the data is not a JSON array at all.
std::optional<StoredPresets> decodePresets(const QByteArray& data);

// The text form of a UUID used in presets and picker tags ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
QString uuidText(const QUuid& id);
// Parses the 36-character hyphenated form in either case; anything else gives nothing.
std::optional<QUuid> uuidFromText(const QString& text);

} // namespace quorvane
