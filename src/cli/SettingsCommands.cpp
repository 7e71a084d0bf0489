#include "cli/SettingsCommands.h"

#include "cli/LanguageCommands.h"

#include <QUuid>

#include <algorithm>

namespace quorvane::cli {

namespace {

const SettingDescription* storedAs(const QString& key) {
    for (const auto& row : settingsTable()) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

QString settingLine(const AppSettings& settings, const SettingDescription& row) {
    return row.key + QStringLiteral(" = ") + toText(settings.value(row.setting)) + QLatin1Char('\n');
}

} // namespace

QString settingsListing(const AppSettings& settings) {
    QString text;
    for (const auto& row : settingsTable()) {
        text += settingLine(settings, row);
    }
    text += AppSettings::presetsKey + QStringLiteral(" = %1 preset(s)").arg(settings.presets().size());
    if (settings.unreadablePresetCount() > 0) {
        text +=
            QStringLiteral(", and %1 this version cannot read (kept)").arg(settings.unreadablePresetCount());
    }
    return text + QLatin1Char('\n');
}

CommandError storeSetting(AppSettings& settings, const QString& key, const QString& value) {
    const auto* row = storedAs(key);
    if (!row) {
        return QStringLiteral("unknown setting \"%1\"; --show-settings lists them.").arg(key);
    }
    const auto typed = settingFromText(row->setting, value, key);
    if (!typed.value) {
        return typed.refusal;
    }
    if (row->setting == Setting::languages) {
        if (const auto missing = missingLanguages(std::get<QStringList>(*typed.value))) {
            return key + QStringLiteral(": ") + *missing;
        }
    }
    settings.setValue(row->setting, *typed.value);
    return std::nullopt;
}

QString storedSettingReport(const AppSettings& settings, const QString& key) {
    const auto* row = storedAs(key);
    if (!row) {
        return {};
    }
    QString text = QStringLiteral("Stored ") + settingLine(settings, *row);
    if (row->warning) {
        if (const auto warning = row->warning(settings.value(row->setting))) {
            text += QStringLiteral("Warning: ") + *warning + QLatin1Char('\n');
        }
    }
    return text;
}

QString presetListing(const AppSettings& settings) {
    QString text;
    const auto current = settings.matchingPresetID();
    for (const auto& preset : settings.presets()) {
        text += (current == preset.id ? QStringLiteral("* ") : QStringLiteral("  ")) + preset.name +
                QLatin1Char('\n');
    }
    if (settings.presets().isEmpty()) {
        text += QStringLiteral("No presets saved; --save-preset NAME saves the settings as one.\n");
    } else if (current) {
        text += QStringLiteral("* marks the preset that has exactly the stored settings.\n");
    } else {
        text += QStringLiteral("No preset has exactly the stored settings (none is marked *).\n");
    }
    if (settings.unreadablePresetCount() > 0) {
        text +=
            QStringLiteral("%1 more preset(s), made by a newer version or damaged, cannot be read here; they "
                           "are kept as stored.\n")
                .arg(settings.unreadablePresetCount());
    }
    if (settings.storedPresetsUnreadable()) {
        text +=
            QStringLiteral("The stored presets cannot be read; the next preset saved keeps them under %1.\n")
                .arg(AppSettings::unreadablePresetsKey);
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

SavedPreset savePreset(AppSettings& settings, const SettingValues& values, const QString& name) {
    const OCRPreset candidate{QUuid::createUuid(), name.trimmed(), values.presetPart(), {}};
    QList<OCRPreset> presets = settings.presets();
    for (const auto& existing : presets) {
        if (existing.hasSameSettings(candidate)) {
            if (existing.name == candidate.name) {
                return {SavedPreset::unchanged, candidate.name, {}};
            }
            return {SavedPreset::refused, candidate.name, AppSettings::duplicatePresetMessage};
        }
    }
    const auto named =
        std::find_if(presets.begin(), presets.end(), [&](const auto& p) { return p.name == candidate.name; });
    if (named != presets.end()) {
        named->settings = candidate.settings; // its id, place and other keys stay
        settings.setPresets(presets);
        return {SavedPreset::replaced, candidate.name, {}};
    }
    settings.setPresets(presets + QList{candidate});
    return {SavedPreset::saved, candidate.name, {}};
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
