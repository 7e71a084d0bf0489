#include "cli/SettingsCommands.h"

#include "core/OCRLanguageCatalog.h"

#include <QUuid>

#include <functional>

namespace quorvane::cli {

namespace {

QString yesNo(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

std::optional<bool> booleanFrom(const QString& text) {
    if (text == QLatin1String("true")) {
        return true;
    }
    if (text == QLatin1String("false")) {
        return false;
    }
    return std::nullopt;
}

// Shown in one line: line breaks of free text appear as \n.
QString oneLine(const QString& text) {
    return QString(text).replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

QString fromOneLine(const QString& text) {
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[++i];
            result += next == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : next;
        } else {
            result += text[i];
        }
    }
    return result;
}

struct Setting {
    QString key;
    std::function<QString(const AppSettings&)> read;
    std::function<CommandError(AppSettings&, const QString&)> write;
};

Setting booleanSetting(const QString& key, bool (AppSettings::*get)() const, void (AppSettings::*put)(bool)) {
    return {key, [get](const AppSettings& s) { return yesNo((s.*get)()); },
            [key, put](AppSettings& s, const QString& text) -> CommandError {
                const auto value = booleanFrom(text);
                if (!value) {
                    return QStringLiteral("%1 takes true or false.").arg(key);
                }
                (s.*put)(*value);
                return std::nullopt;
            }};
}

const QList<Setting>& allSettings() {
    static const QList<Setting> settings = {
        {AppSettings::recognitionLevelKey, [](const AppSettings& s) { return rawValue(s.recognitionLevel()); },
         [](AppSettings& s, const QString& text) -> CommandError {
             const auto level = recognitionLevelFromRaw(text);
             if (!level) {
                 return QStringLiteral("%1 takes accurate or fast.").arg(AppSettings::recognitionLevelKey);
             }
             s.setRecognitionLevel(*level);
             return std::nullopt;
         }},
        {AppSettings::languagesKey, [](const AppSettings& s) { return s.languages().join(QLatin1Char(',')); },
         [](AppSettings& s, const QString& text) -> CommandError {
             const QStringList tags = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
             for (const auto& tag : tags) {
                 if (!OCRLanguageCatalog::contains(tag.trimmed())) {
                     return QStringLiteral("unknown language \"%1\"; use tags such as en-US, de-DE, fr-FR.").arg(tag.trimmed());
                 }
             }
             QStringList trimmed;
             for (const auto& tag : tags) {
                 trimmed.append(tag.trimmed());
             }
             s.setLanguages(OCRLanguageCatalog::sanitized(trimmed));
             return std::nullopt;
         }},
        booleanSetting(AppSettings::autoDetectLanguageKey, &AppSettings::automaticallyDetectsLanguage,
                       &AppSettings::setAutomaticallyDetectsLanguage),
        booleanSetting(AppSettings::languageCorrectionKey, &AppSettings::usesLanguageCorrection,
                       &AppSettings::setUsesLanguageCorrection),
        {AppSettings::customWordsKey, [](const AppSettings& s) { return oneLine(s.customWordsText()); },
         [](AppSettings& s, const QString& text) -> CommandError {
             s.setCustomWordsText(fromOneLine(text));
             return std::nullopt;
         }},
        {AppSettings::preprocessingKey, [](const AppSettings& s) { return rawValue(s.preprocessing()); },
         [](AppSettings& s, const QString& text) -> CommandError {
             const auto strength = preprocessStrengthFromRaw(text);
             if (!strength) {
                 return QStringLiteral("%1 takes off, conservative, standard or aggressive.").arg(AppSettings::preprocessingKey);
             }
             s.setPreprocessing(*strength);
             return std::nullopt;
         }},
        booleanSetting(AppSettings::autoRotateKey, &AppSettings::autoRotate, &AppSettings::setAutoRotate),
        booleanSetting(AppSettings::deskewKey, &AppSettings::deskew, &AppSettings::setDeskew),
        booleanSetting(AppSettings::perspectiveKey, &AppSettings::perspective, &AppSettings::setPerspective),
        booleanSetting(AppSettings::textSidecarKey, &AppSettings::writesTextSidecar, &AppSettings::setWritesTextSidecar),
        booleanSetting(AppSettings::pdfAExportKey, &AppSettings::pdfAExport, &AppSettings::setPdfAExport),
        {AppSettings::outputNameTemplateKey, [](const AppSettings& s) { return s.outputNameTemplate(); },
         [](AppSettings& s, const QString& text) -> CommandError {
             s.setOutputNameTemplate(text);
             return std::nullopt;
         }},
        booleanSetting(AppSettings::completionNotificationsKey, &AppSettings::completionNotificationsEnabled,
                       &AppSettings::setCompletionNotificationsEnabled),
        booleanSetting(AppSettings::menuBarOnlyKey, &AppSettings::menuBarOnly, &AppSettings::setMenuBarOnly),
        booleanSetting(AppSettings::batchSkipExistingKey, &AppSettings::batchSkipExistingOutputs,
                       &AppSettings::setBatchSkipExistingOutputs),
    };
    return settings;
}

} // namespace

QString settingsListing(const AppSettings& settings) {
    QString text;
    for (const auto& setting : allSettings()) {
        text += setting.key + QStringLiteral(" = ") + setting.read(settings) + QLatin1Char('\n');
    }
    text += AppSettings::presetsKey + QStringLiteral(" = %1 preset(s)\n").arg(settings.presets().size());
    return text;
}

CommandError storeSetting(AppSettings& settings, const QString& key, const QString& value) {
    for (const auto& setting : allSettings()) {
        if (setting.key == key) {
            return setting.write(settings, value);
        }
    }
    return QStringLiteral("unknown setting \"%1\"; --show-settings lists them.").arg(key);
}

QString presetListing(const AppSettings& settings) {
    const auto current = settings.matchingPresetID();
    QString text;
    for (const auto& preset : settings.presets()) {
        text += (current && *current == preset.id ? QStringLiteral("* ") : QStringLiteral("  ")) + preset.name +
                QLatin1Char('\n');
    }
    return text;
}

std::optional<OCRPreset> presetNamed(const AppSettings& settings, const QString& name) {
    for (const auto& preset : settings.presets()) {
        if (preset.name == name) {
            return preset;
        }
    }
    return std::nullopt;
}

SavedPreset savePreset(AppSettings& settings, OCRPreset preset, const QString& name) {
    QList<OCRPreset> presets = settings.presets();
    for (const auto& existing : presets) {
        if (existing.hasSameSettings(preset)) {
            return {std::nullopt, AppSettings::duplicatePresetMessage};
        }
    }
    preset.id = QUuid::createUuid();
    preset.name = settings.uniquePresetName(name);
    presets.append(preset);
    settings.setPresets(presets);
    return {preset.name, {}};
}

CommandError deletePreset(AppSettings& settings, const QString& name) {
    QList<OCRPreset> presets = settings.presets();
    const auto removed = presets.removeIf([&](const OCRPreset& preset) { return preset.name == name; });
    if (removed == 0) {
        return QStringLiteral("no preset is named \"%1\"; --list-presets lists them.").arg(name);
    }
    settings.setPresets(presets);
    return std::nullopt;
}

} // namespace quorvane::cli
