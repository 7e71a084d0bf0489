#include "settings/OCRPreset.h"

#include "core/CustomWordList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace quorvane {

OCROptions OCRPreset::options() const {
    OCROptions result;
    result.recognitionLevel = recognitionLevel;
    result.languages = languages;
    result.automaticallyDetectsLanguage = automaticallyDetectsLanguage;
    result.usesLanguageCorrection = usesLanguageCorrection;
    result.customWords = CustomWordList::parse(customWordsText);
    result.preprocessing = preprocessing;
    result.autoRotate = autoRotate;
    result.deskew = deskew;
    result.perspective = perspective;
    result.writesTextSidecar = writesTextSidecar;
    result.pdfAExport = pdfAExport;
    return result;
}

namespace {

std::optional<QString> stringField(const QJsonObject& object, const char* key) {
    const auto value = object.value(QLatin1String(key));
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<bool> boolField(const QJsonObject& object, const char* key) {
    const auto value = object.value(QLatin1String(key));
    if (!value.isBool()) {
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<QStringList> stringListField(const QJsonObject& object, const char* key) {
    const auto value = object.value(QLatin1String(key));
    if (!value.isArray()) {
        return std::nullopt;
    }
    QStringList result;
    for (const auto& element : value.toArray()) {
        if (!element.isString()) {
            return std::nullopt;
        }
        result.append(element.toString());
    }
    return result;
}

} // namespace

bool OCRPreset::hasSameSettings(const OCRPreset& other) const {
    return recognitionLevel == other.recognitionLevel && languages == other.languages &&
           automaticallyDetectsLanguage == other.automaticallyDetectsLanguage &&
           usesLanguageCorrection == other.usesLanguageCorrection &&
           customWordsText == other.customWordsText && preprocessing == other.preprocessing &&
           autoRotate == other.autoRotate && deskew == other.deskew &&
           perspective == other.perspective && writesTextSidecar == other.writesTextSidecar &&
           pdfAExport == other.pdfAExport && outputNameTemplate == other.outputNameTemplate;
}

QString OCRPreset::tag() const { return uuidText(id); }

QJsonObject OCRPreset::toJson() const {
    return QJsonObject{
        {"id", uuidText(id)},
        {"name", name},
        {"recognitionLevel", rawValue(recognitionLevel)},
        {"languages", QJsonArray::fromStringList(languages)},
        {"automaticallyDetectsLanguage", automaticallyDetectsLanguage},
        {"usesLanguageCorrection", usesLanguageCorrection},
        {"customWordsText", customWordsText},
        {"preprocessing", rawValue(preprocessing)},
        {"autoRotate", autoRotate},
        {"deskew", deskew},
        {"perspective", perspective},
        {"writesTextSidecar", writesTextSidecar},
        {"pdfAExport", pdfAExport},
        {"outputNameTemplate", outputNameTemplate},
    };
}

std::optional<OCRPreset> OCRPreset::fromJson(const QJsonValue& value) {
    if (!value.isObject()) {
        return std::nullopt;
    }
    const auto object = value.toObject();
    const auto idText = stringField(object, "id");
    const auto id = idText ? uuidFromText(*idText) : std::nullopt;
    const auto name = stringField(object, "name");
    const auto levelText = stringField(object, "recognitionLevel");
    const auto level = levelText ? recognitionLevelFromRaw(*levelText) : std::nullopt;
    const auto languages = stringListField(object, "languages");
    const auto autoDetect = boolField(object, "automaticallyDetectsLanguage");
    const auto correction = boolField(object, "usesLanguageCorrection");
    const auto customWords = stringField(object, "customWordsText");
    const auto strengthText = stringField(object, "preprocessing");
    const auto strength = strengthText ? preprocessStrengthFromRaw(*strengthText) : std::nullopt;
    const auto autoRotate = boolField(object, "autoRotate");
    const auto deskew = boolField(object, "deskew");
    const auto perspective = boolField(object, "perspective");
    const auto sidecar = boolField(object, "writesTextSidecar");
    const auto pdfA = boolField(object, "pdfAExport");
    const auto nameTemplate = stringField(object, "outputNameTemplate");
    if (!id || !name || !level || !languages || !autoDetect || !correction || !customWords ||
        !strength || !autoRotate || !deskew || !perspective || !sidecar || !pdfA || !nameTemplate) {
        return std::nullopt;
    }
    return OCRPreset{*id,          *name,   *level,       *languages, *autoDetect,
                     *correction,  *customWords, *strength, *autoRotate, *deskew,
                     *perspective, *sidecar, *pdfA,        *nameTemplate};
}

QByteArray encodePresets(const QList<OCRPreset>& presets) {
    QJsonArray array;
    for (const auto& preset : presets) {
        array.append(preset.toJson());
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<OCRPreset>> decodePresets(const QByteArray& data) {
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<OCRPreset> presets;
    for (const auto& element : document.array()) {
        auto preset = OCRPreset::fromJson(element);
        if (!preset) {
            return std::nullopt;
        }
        presets.append(*preset);
    }
    return presets;
}

QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> uuidFromText(const QString& text) {
    // QUuid alone also accepts braces and reads garbage as the null UUID; only the plain form counts.
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch()) {
        return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace quorvane
