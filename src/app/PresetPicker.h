#pragma once

// The "Active preset" picker: "Custom" followed by the presets by name, in stored order, showing
// whichever preset has exactly the current settings. Choosing a preset applies it; choosing
// "Custom" changes nothing. Every copy follows the settings, so the pickers of the main window and
// of the settings window always show the same choice.

#include <QComboBox>

namespace quorvane {

class AppSettings;

class PresetPicker : public QComboBox {
    Q_OBJECT

public:
    static inline const QString label = QStringLiteral("Active preset");

    explicit PresetPicker(AppSettings& settings, QWidget* parent = nullptr);

private:
    void showPresets();

    AppSettings& m_settings;
};

} // namespace quorvane
