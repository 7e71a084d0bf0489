#pragma once

// The control of one setting of the settings table, with its label and help text: a switch for a
// Boolean, a picker for a choice, a field for a text (with the table's warning, and its refusal,
// under it). Every change is stored at once; a change made elsewhere (a preset applied) shows at
// once. A refused text is shown with its reason and not stored.

#include "settings/SettingsTable.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace quorvane {

class AppSettings;

class SettingRow : public QWidget {
    Q_OBJECT

public:
    SettingRow(AppSettings& settings, Setting setting, QWidget* parent = nullptr);

    // Alt and the label's first letter then toggle the switch.
    void addMnemonic();

    // Help text in the settings window's caption style.
    static QLabel* helpLabel(const QString& text, QWidget* parent);

private:
    void showValue();
    void textEdited(const QString& text);

    AppSettings& m_settings;
    Setting m_setting;
    QCheckBox* m_switch = nullptr;
    QComboBox* m_picker = nullptr;
    QLineEdit* m_field = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_warning = nullptr;
    QLabel* m_refusal = nullptr;
};

} // namespace quorvane
