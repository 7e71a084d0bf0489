#pragma once

// The value of one setting, and its three outward forms: as stored in the settings file, as a
// preset's JSON, and as the one-line text of the command line. A setting's default value fixes
// its type; each conversion takes that default as `like`.

#include "core/OCROptions.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <variant>

namespace quorvane {

using SettingValue = std::variant<bool, QString, QStringList, OCRRecognitionLevel, PreprocessStrength>;

// The settings file keeps no types once it is read back from disk, so a value is taken when its
// text reads as the type of `like` (a Boolean is the text "true" or "false"); nothing otherwise.
std::optional<SettingValue> fromStored(const QVariant& stored, const SettingValue& like);
QVariant toStored(const SettingValue& value);

// Strict: the JSON type must match and an enumeration must be one of its raw values.
std::optional<SettingValue> fromJson(const QJsonValue& json, const SettingValue& like);
QJsonValue toJson(const SettingValue& value);

// One line: a list is comma-separated; a line break in a text is written \n and a backslash \\.
QString toText(const SettingValue& value);
std::optional<SettingValue> fromText(const QString& text, const SettingValue& like);
// What the text form of `like`'s type accepts, for a refusal: "true or false".
QString acceptedText(const SettingValue& like);

// The cases of an enumeration, in order; nothing for other types.
QList<SettingValue> choices(const SettingValue& like);
// An enumeration case's name for the user ("Accurate (recommended)"); otherwise the text form.
QString displayName(const SettingValue& value);

} // namespace quorvane
