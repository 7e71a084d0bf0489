#include "settings/SettingValues.h"

#include "core/CustomWordList.h"

namespace quorvane {

SettingValue SettingValues::value(Setting setting) const {
    const auto held = m_values.find(setting);
    return held != m_values.end() ? held->second : describe(setting).defaultValue;
}

void SettingValues::set(Setting setting, const SettingValue& value) {
    Q_ASSERT(value.index() == describe(setting).defaultValue.index());
    m_values[setting] = value;
}

SettingValues SettingValues::overriddenBy(const SettingValues& other) const {
    SettingValues result = *this;
    for (const auto& [setting, value] : other.m_values) {
        result.m_values[setting] = value;
    }
    return result;
}

SettingValues SettingValues::presetPart() const {
    SettingValues result;
    for (const auto& row : settingsTable()) {
        if (row.inPresets()) {
            result.set(row.setting, value(row.setting));
        }
    }
    return result;
}

bool SettingValues::operator==(const SettingValues& other) const {
    for (const auto& row : settingsTable()) {
        if (value(row.setting) != other.value(row.setting)) {
            return false;
        }
    }
    return true;
}

OCROptions jobOptions(const SettingValues& settings) {
    OCROptions options;
    options.recognitionLevel = settings.get<OCRRecognitionLevel>(Setting::recognitionLevel);
    options.languages = settings.get<QStringList>(Setting::languages);
    options.automaticallyDetectsLanguage = settings.get<bool>(Setting::automaticallyDetectsLanguage);
    options.usesLanguageCorrection = settings.get<bool>(Setting::usesLanguageCorrection);
    options.customWords = CustomWordList::parse(settings.get<QString>(Setting::customWordsText));
    options.preprocessing = settings.get<PreprocessStrength>(Setting::preprocessing);
    options.autoRotate = settings.get<bool>(Setting::autoRotate);
    options.deskew = settings.get<bool>(Setting::deskew);
    options.perspective = settings.get<bool>(Setting::perspective);
    options.writesTextSidecar = settings.get<bool>(Setting::writesTextSidecar);
    options.pdfAExport = settings.get<bool>(Setting::pdfAExport);
    return options;
}

} // namespace quorvane
