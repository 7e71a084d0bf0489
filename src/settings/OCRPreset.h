#pragma once

// A named snapshot of every setting that shapes a job: the recognition settings and the output
// name template. Presets are stored as one JSON array; decoding is strict, so one damaged element
// makes the whole array unreadable.

#include "core/OCROptions.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace quorvane {

struct OCRPreset {
    QUuid id;
    QString name;
    OCRRecognitionLevel recognitionLevel = OCRRecognitionLevel::accurate;
    QStringList languages;
    bool automaticallyDetectsLanguage = true;
    bool usesLanguageCorrection = false;
    QString customWordsText;
    PreprocessStrength preprocessing = PreprocessStrength::conservative;
    bool autoRotate = true;
    bool deskew = true;
    bool perspective = true;
    bool writesTextSidecar = false;
    bool pdfAExport = false;
    QString outputNameTemplate;

    // True when all twelve setting fields are equal; `id` and `name` do not count. Languages must
    // be in the same order and texts are compared exactly, without trimming.
    bool hasSameSettings(const OCRPreset& other) const;
    // The options of a job run with these settings (no region).
    OCROptions options() const;

    // The picker's tag of this preset: the upper-case string of its id, without braces.
    QString tag() const;

    QJsonObject toJson() const;
    // Every key present with the right type and known raw values, or nothing. Keys this program
    // does not know are ignored, so a newer version's additions do not lose the user's presets.
    static std::optional<OCRPreset> fromJson(const QJsonValue& value);

    bool operator==(const OCRPreset&) const = default;
};

// Compact JSON of the whole array, in the array's order.
QByteArray encodePresets(const QList<OCRPreset>& presets);
// The array, or nothing when the data is not a JSON array of valid presets.
std::optional<QList<OCRPreset>> decodePresets(const QByteArray& data);

// The text form of a UUID used in presets and picker tags ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
QString uuidText(const QUuid& id);
// Parses the 36-character hyphenated form in either case; anything else gives nothing.
std::optional<QUuid> uuidFromText(const QString& text);

} // namespace quorvane
