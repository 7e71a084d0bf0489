#include "app/PresetPicker.h"

#include "settings/AppSettings.h"

namespace quorvane {

PresetPicker::PresetPicker(AppSettings& settings, QWidget* parent) : QComboBox(parent), m_settings(settings) {
    setObjectName(QStringLiteral("presetPicker"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_settings.setPresetSelection(itemData(index).toString());
        showPresets(); // choosing Custom changes nothing: the matching preset shows again
    });
    connect(&m_settings, &AppSettings::presetsChanged, this, &PresetPicker::showPresets);
    connect(&m_settings, &AppSettings::presetSelectionChanged, this, &PresetPicker::showPresets);
    showPresets();
}

void PresetPicker::showPresets() {
    clear();
    addItem(QStringLiteral("Custom"), AppSettings::customPresetTag);
    for (const auto& preset : m_settings.presets()) {
        addItem(preset.name, uuidText(preset.id));
    }
    setCurrentIndex(findData(m_settings.presetSelection()));
}

} // namespace quorvane
